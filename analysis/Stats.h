// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace ia {

// Standard normal deviate whose lower-tail area is x (rational approximation).
float InvNormal(float x);
// Fisher transform 0.5 ln((1 + r) / (1 - r)); r >= 1 uses 0.9999 and
// r <= -1 uses -0.9999, so the result is always finite.
float FisherZ(float r);
// Inverse Fisher transform.
float FisherR(float z);

} // namespace ia
