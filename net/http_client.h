// Text requests over HTTP and HTTPS: the catalogue GET and the report POST.
//
// Each call creates one CHttpClient (http_client_win.h) for the URL, performs one logical request
// with up to three attempts and returns a plain record. Neither function throws; the callers
// decide with IsHttpSuccess and log the status themselves.
#pragma once

#include <cstdint>
#include <string>

struct HttpTextResult {
  bool ok = false;     // a response was received and read
  int32_t status = 0;  // the HTTP status code; 0 when ok is false
  std::string body;    // the decoded response text as UTF-8; empty when ok is false
};

// GET of `url` (UTF-8). The body is decoded by the response's charset, or by `defaultCharset`
// when the response names none ("utf-8": UTF-8, anything else: the system ANSI code page). An
// HTML page with "<html>" but without "</html>" counts as cut off and is requested again; after
// three such answers the request fails. Certificates of https servers are validated: the
// catalogue decides which programs the installer runs with administrator rights.
HttpTextResult HttpGetText(const std::string& url, const std::wstring& defaultCharset);

// POST of `body` (bytes, sent as they are, possibly empty) to `url` (UTF-8) with the header lines
// "Content-Length: <body length>" and "Content-Type: <contentType>". The answer is decoded by its
// charset, else with the system ANSI code page. Certificate errors of https servers are ignored.
HttpTextResult HttpPostText(const std::string& url, const std::string& body, const std::string& contentType);

// The one success test of both callers: a response with a status below 400 and a non-empty body
// (a 3xx answer with a body counts).
bool IsHttpSuccess(const HttpTextResult& result);

// The status-code text of a response as a number: leading decimal digits, saturating at
// INT32_MAX; 0 when the text does not start with a digit.
int32_t ParseHttpStatus(const std::wstring& statusText);
