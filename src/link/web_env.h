// The request environment handlers read: the CGI variables of the request, the stream the response
// goes to, and the two header writers of the log-in pages. The front end fills the variables once at
// start (cgiCaptureEnvironment); a variable missing from the environment is "", never null.
#pragma once

#include <cstdio>

extern const char *cgiServerSoftware;
extern const char *cgiServerName;
extern const char *cgiGatewayInterface;
extern const char *cgiServerProtocol;
extern const char *cgiServerPort;
extern const char *cgiRequestMethod;
extern const char *cgiPathInfo;
extern const char *cgiPathTranslated;
extern const char *cgiScriptName;
extern const char *cgiQueryString;
extern const char *cgiRemoteHost;
extern const char *cgiRemoteAddr;
extern const char *cgiAuthType;
extern const char *cgiRemoteUser;
extern const char *cgiRemoteIdent;
extern const char *cgiServerAddr;  // HTTP_HOST
extern const char *cgiAccept;
extern const char *cgiUserAgent;
extern const char *cgiReferrer;
extern const char *cgiCookie;
extern const char *cgiSecFetchSite;  // HTTP_SEC_FETCH_SITE
extern const char *cgiOrigin;        // HTTP_ORIGIN

extern FILE *cgiOut;  // the response

// "Location: <url>\r\n\r\n"
void cgiHeaderLocation(const char *url);

// "Set-Cookie: name=value; domain=...; expires=<now + seconds, UTC>; path=...\r\n". CR and LF in any
// of the texts are left out, so request text can never start a header of its own.
void cgiHeaderCookieSetString(const char *name, const char *value, int secondsToLive, const char *path,
                              const char *domain);
