// The two normal forms the program compares texts in: white space collapsed, and canonical
// (NFC/NFD) Unicode normalisation.
#pragma once

#include <string>
#include <string_view>

namespace text {

/// The text split at every white-space cluster, empty pieces dropped, joined with one U+0020.
/// Other bytes are kept as they are.
std::string collapseWhiteSpace(std::string_view utf8);

/// Canonical composition; ill-formed bytes become U+FFFD first, NUL bytes are kept.
std::string nfc(std::string_view utf8);

/// Whether the text is well-formed UTF-8 that NFC leaves as it is, decided without normalising:
/// every code point is a starter that is its own NFC and is no second half of a composition.
/// False may still be an NFC text (a letter followed by a combining mark that does not compose
/// with it); true never errs.
bool isNfc(std::string_view utf8);

/// Whether the text is in NFC as `isNfc` decides it and each of its code points stands alone
/// (`standsAlone`): its clusters are its code points (CR LF aside), wherever it stands, except
/// that its first may be joined by a prepended mark before it and its last by a mark after it.
bool isPlainNfc(std::string_view utf8);

/// Canonical decomposition; ill-formed bytes become U+FFFD first, NUL bytes are kept.
std::string nfd(std::string_view utf8);

/// True when both texts have the same NFC form.
bool canonicallyEqual(std::string_view a, std::string_view b);

/// True when the NFC form of `needle` occurs in the NFC form of `haystack`; "" occurs everywhere.
bool containsCanonically(std::string_view haystack, std::string_view needle);

}  // namespace text
