// The rules of the station's web view that do not depend on the station:
// reading a request's head, the access token (how it is made, stored,
// presented and compared), the origin of state-changing requests, and which
// files a request may name. Everything here is plain text in, verdict out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qv::web {

// What one request may bring and how many may watch at once.
inline constexpr size_t kMaxHeadBytes = 8192;
inline constexpr size_t kMaxTargetBytes = 2048;
inline constexpr size_t kMaxHeaders = 64;
inline constexpr size_t kMaxBodyBytes = 4096;
inline constexpr int kMaxViewers = 8;
inline constexpr size_t kMinTokenLength = 16;
// Name of the cookie that carries the token after the first visit.
inline constexpr const char* kTokenCookie = "qv_token";

struct Request {
  std::string method;
  std::string target;  // as sent
  std::string path;    // percent-decoded, without the query
  std::vector<std::pair<std::string, std::string>> query;  // decoded
  // Names in lower case, values without outer blanks, in arrival order.
  std::vector<std::pair<std::string, std::string>> headers;
  std::string body;
  std::string peer;

  std::string header(std::string_view lowerName) const;
  bool hasHeader(std::string_view lowerName) const;
  std::string queryValue(std::string_view name) const;
  // The declared body length; 0 without the header.
  size_t contentLength = 0;
  bool upgradeToWebSocket = false;
};

// Reads a head (request line and header lines, with or without the closing
// blank line). False with the status to answer: 400 for anything malformed
// or ambiguous (bare LF, folded or duplicate framing headers, a target that
// is not a path, a bad escape or NUL in it), 414 for a long target, 431 for
// too many or too long headers, 413 for a declared body over the limit, 501
// for chunked bodies, 505 for other HTTP versions.
bool parseHead(std::string_view head, Request& out, int& status);

// %XX decoding; '+' as a blank in queries. False on a bad escape or NUL.
bool percentDecode(std::string_view in, std::string& out, bool plusIsBlank);

// The value of cookie `name` in a Cookie header, or empty.
std::string cookieValue(std::string_view cookieHeader, std::string_view name);

// Equal length and content, taking the same time whatever the content.
bool sameToken(std::string_view presented, std::string_view expected);

// True when any token the request presents (Authorization: Bearer, the
// cookie, or ?token=) is the expected one. An empty expected token admits
// no one.
bool admitted(const Request& r, std::string_view expected);
// The token from ?token= when it is the expected one (the first visit).
bool tokenInQuery(const Request& r, std::string_view expected);

// An Origin header that names another site than the Host the request was
// sent to ("null" included). Requests without Origin come from programs,
// not from another site's page, and are not foreign.
bool foreignOrigin(const Request& r);

// Why a typed token cannot be used, or empty: at least kMinTokenLength
// characters of visible ASCII, none of them a blank, quote, comma,
// semicolon or backslash (it travels in a cookie and a header).
std::string tokenProblem(std::string_view token);
// A fresh token of 192 bits from the system's random source, as 32
// URL-safe characters; empty when the source fails.
std::string newToken();
// The token file: one line, owner read/write only. Reading tightens the
// mode of a file that others could read. Empty result / false on failure,
// the reason in `error`.
std::string readTokenFile(const std::string& path, std::string& error);
bool writeTokenFile(const std::string& path, const std::string& token, std::string& error);

// The file `name` directly inside `folder`, resolved through symbolic
// links, when it is a regular file that stays inside the folder; nothing
// for names with a separator, "." or "..", control characters, an
// absolute path or anything that leads out.
std::optional<std::string> fileInside(const std::string& folder, const std::string& name);

// A JSON string literal with quotes.
std::string jsonString(std::string_view s);


}  // namespace qv::web
