# Writes the build's date and time into a header; run at every build.
string(TIMESTAMP date "%Y%m%d")
string(TIMESTAMP h "%H")
string(TIMESTAMP m "%M")
string(TIMESTAMP s "%S")
math(EXPR seconds "${h} * 3600 + ${m} * 60 + ${s}")
file(WRITE "${OUT}.tmp" "#pragma once\n// Generated at build time.\ninline constexpr int kBuildDate = ${date};\ninline constexpr int kBuildTime = ${seconds};\n")
file(RENAME "${OUT}.tmp" "${OUT}")
