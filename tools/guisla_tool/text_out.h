// Text for the tool's output: the store's Windows-1252 bytes as UTF-8, and the escapes that HTML
// needs. Everything the tool prints or writes is UTF-8.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

// The UTF-8 form of Windows-1252 bytes. The five bytes that code page leaves unassigned (81, 8D,
// 8F, 90, 9D) become the control characters of the same number, as Windows converts them.
std::string Cp1252ToUtf8(const std::string &bytes);

// The Unicode code point of one Windows-1252 byte, by the same table.
uint32_t Cp1252CodePoint(unsigned char byte);

// Line breaks of stored texts (CR LF, or a lone CR) as single LF characters.
std::string NormaliseLineBreaks(const std::string &text);

// UTF-8 text made safe between HTML tags and inside attribute values: & < > " ' escaped; control
// characters other than tab and line feed, which HTML does not allow, become U+FFFD.
std::string HtmlEscape(const std::string &utf8);

// A one-line form of UTF-8 text for the terminal: control characters become blanks.
std::string OneLine(const std::string &utf8);

// Paths from and to UTF-8 text, whatever the system's own encoding of file names.
std::filesystem::path PathFromUtf8(const std::string &utf8);
std::string PathToUtf8(const std::filesystem::path &path);
