// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The command-line program's JSON read back with Qt's parser, where Qt is
// built, and its numbers held to the statistics they were written from.
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace iatest {

inline QJsonObject ParseJson(const std::string& text) {
    QJsonParseError err;
    QJsonDocument d = QJsonDocument::fromJson(QByteArray::fromStdString(text), &err);
    EXPECT_EQ(err.error, QJsonParseError::NoError) << text;
    return d.object();
}

// A number written in full precision, or null where there is none.
inline void ExpectNumber(const QJsonValue& v, const std::optional<double>& want,
                         const std::string& what) {
    if (!want) {
        EXPECT_TRUE(v.isNull()) << what;
        return;
    }
    ASSERT_TRUE(v.isDouble()) << what;
    EXPECT_EQ(v.toDouble(), *want) << what << " (full precision)";
}

} // namespace iatest
