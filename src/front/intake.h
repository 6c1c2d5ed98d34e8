// Request intake: from the CGI environment and standard input to one (path name, request data) pair
// handed to DispatchWebReq. The intake never writes a response itself.
#pragma once

// The whole request: capture the environment, choose the route by method and media type, dispatch,
// release the form data. Returns 0, or -1 when a multipart body fails to parse (nothing written).
int cgi_main();

// GET: the query string cut to 1023 characters with every "%22" turned into '"'.
void cgiDealGet();

// URL-encoded or JSON POST: the raw body, at most 30719 bytes in at most 128 lines.
void cgiDealPost();

// multipart/form-data: the upload forms "temp & <query>", "<temporary file> & <query>", or
// "/tmp/<client base name>[ & <param: value>]".
void cgiDealUpload();

// Copies `source` to `destination`, replacing every `pattern` by `replacement`, left to right,
// without rescanning replaced text. The caller makes `destination` large enough.
char *strrpl(char *destination, const char *source, const char *pattern, const char *replacement);
