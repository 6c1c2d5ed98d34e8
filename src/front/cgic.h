// The form library: the capture of the CGI environment (link/web_env.h holds what handlers read of
// it), and the multipart/form-data parser with its form entries and temporary upload files.
//
// URL-encoded and JSON bodies never pass through here: the intake hands them to handlers as raw text.
#pragma once

#include "link/web_env.h"

#include <cstdio>

constexpr int cgi_content_type_size = 1024;
extern char cgiContentTypeData[cgi_content_type_size];  // media type only, after start-up
extern char *cgiContentType;                            // points at cgiContentTypeData
extern char *cgiMultipartBoundary;                      // inside cgiContentTypeData, or ""
extern int cgiContentLength;
extern FILE *cgiIn;

// Reads the environment into the variables above, splits the content type into media type and
// boundary, reads CONTENT_LENGTH, empties the form-entry list and points cgiIn and cgiOut at the
// standard streams.
void cgiCaptureEnvironment();

// CONTENT_LENGTH as a number: leading decimal digits with an optional sign, like atoi, but checked:
// a negative value counts as 0, a value beyond the 32-bit range as INT_MAX, anything else as 0.
int cgiParseContentLength(const char *text);

// One field of a multipart body. Strings are owned by the entry.
struct cgiFormEntry {
    char *attr;         // field name
    char *value;        // content of an ordinary field; "" for a file
    int valueLength;    // content bytes (file size for a file)
    char *fileName;     // client's file name; "" for an ordinary field
    char *contentType;  // first token of the part's Content-Type; may be ""
    char *tfileName;    // device path of the temporary file ("/tmp/cgicXXXXXX"); "" if none
    cgiFormEntry *next;
};

enum cgiParseResultType {
    cgiParseSuccess = 0,
    cgiParseMemory = 1,
    cgiParseIO = 2,  // input ended early, or a temporary file could not be made or written
};

enum cgiFormResultType {
    cgiFormSuccess = 0,
    cgiFormTruncated = 1,
    cgiFormNotFound = 4,
    cgiFormNoFileName = 8,
};

// Parses the multipart body on cgiIn (at most cgiContentLength bytes) into the entry list. File parts
// go to temporary files "/tmp/cgicXXXXXX" of mode 0600. On failure the entries built so far stay in
// the list; cgiFreeResources() removes them with their files.
cgiParseResultType cgiParseMultipartInput();

// First entry, in body order, whose field name equals `name` exactly; null when there is none.
cgiFormEntry *cgiFormEntryFindFirst(const char *name);

// Copies the client file name of field `name` into `buffer`, cut to size - 1 characters.
cgiFormResultType cgiFormFileName(const char *name, char *buffer, int size);

// Frees every entry and deletes every temporary file still named by one; empties the list.
void cgiFreeResources();
