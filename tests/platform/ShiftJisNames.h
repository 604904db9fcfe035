// Shift_JIS bytes of the names the tests use, written out so that no converter decides them. ソ, 表 and
// 能 end in 0x5C, the byte of "\".
#pragma once

#include <string>

namespace vorlane::test::sjis {

inline const std::string So = "\x83\x5C";                          // ソ
inline const std::string Hyo = "\x95\x5C";                         // 表
inline const std::string No = "\x94\x5C";                          // 能
inline const std::string Gashu = "\x89\xE6\x8F\x57";               // 画集
inline const std::string Shashin = "\x8E\xCA\x90\x5E";             // 写真
inline const std::string Natsuyasumi = "\x89\xC4\x8B\x78\x82\xDD"; // 夏休み
inline const std::string Ryoko = "\x97\xB7\x8D\x73";               // 旅行

} // namespace vorlane::test::sjis
