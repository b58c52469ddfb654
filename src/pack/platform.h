#pragma once
// What the pack tool takes from the platform, linked in from src/pack/posix (iconv, POSIX files,
// libcurl) or src/pack/win32 (the Win32 code page services, WinInet).
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "net/transport.h"

namespace veltrane::pack {

// The UTF-8 text in code page 1251; nullopt when a character has no place in it.
std::optional<std::string> Utf8ToCp1251(std::string_view utf8);
// Bytes in code page 1251 as UTF-8; a byte the code page leaves undefined becomes U+FFFD.
std::string Cp1251ToUtf8(std::string_view bytes);
// The name in upper case, all scripts: two names that fold alike are one file on Windows.
std::string FoldCase(std::string_view utf8);
// The text in Unicode's composed form (NFC): a name typed on one system and one copied from
// another may spell "й" as one character or as "и" and a combining breve; a player sees one name.
// Meant for well-formed UTF-8 (other text may come back changed).
std::string ComposeNfc(std::string_view utf8);

enum class NewFileResult { kWritten, kExists, kFailed };
// Creates `path` holding `bytes`, readable by its owner only where the system allows that;
// never replaces an existing file.
NewFileResult WritePrivateFile(const std::string& path, std::string_view bytes);

// Whether standard output is a terminal (a console on Windows).
bool StdoutIsTerminal();

// HTTP as the platform does it: libcurl natively, WinInet on Windows.
std::unique_ptr<net::Transport> NewHttpTransport();

}  // namespace veltrane::pack
