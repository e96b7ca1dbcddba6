// Keeps the library non-empty until its units land.
namespace ia {}
