// Answers: one writer per form of response, and the ready-made reply routines that route tables
// name directly. Each writer writes one whole response and returns the completion flag's value, so
// a reply routine ends with `return cgi_answer_json(answer.get());`.
//
//     const cgi_result_text format_texts[] = {{0, "OK"}, {1, "USING"}, {-1, "ERROR FORMAT"}};
//     const cgi_reply_route format_replies[] = {
//         {reply_of(DISK_FORMAT), sizeof(int32_t), cgi_reply_result_text<format_texts>},
//     };
#pragma once

#include "link/web_request.h"

#include <json-c/json.h>

#include <cstddef>
#include <cstdint>
#include <iterator>

// The text form ("Content-type: text/plain"). CGI_REPLY_ANSWERED, or 0 for a null text (nothing
// written).
int cgi_answer_text(const char *text);

// The JSON form: json-c's default serialisation of `answer`. CGI_REPLY_ANSWERED, or 0 for a null
// object (nothing written).
int cgi_answer_json(json_object *answer);

// A JSON object under the text header, as the log-in pages read it.
int cgi_answer_json_as_text(json_object *answer);

// A row of a result-to-text table: the answer for one result of a reply. A row with CGI_OTHER_RESULT
// stands for every result the rows before it do not name; a result no row names is answered with
// nothing (and counts as answered).
struct cgi_result_text {
    int32_t result;
    const char *text;
};
constexpr int32_t CGI_OTHER_RESULT = INT32_MIN;

// The text of the reply's first integer by `texts`, in the text form (CGI_TEXT) or as the JSON
// object {"status": text} (CGI_JSON). Returns CGI_REPLY_ANSWERED, or 0 for a reply without a whole
// integer.
int cgi_answer_result(int count, const void *payload, const cgi_result_text *texts, size_t size, int form);

// Reply routines for a result table, named in a route row as cgi_reply_result_text<table>.
template <const auto &texts> int cgi_reply_result_text(int count, const void *payload)
{
    return cgi_answer_result(count, payload, texts, std::size(texts), CGI_TEXT);
}
template <const auto &texts> int cgi_reply_result_status(int count, const void *payload)
{
    return cgi_answer_result(count, payload, texts, std::size(texts), CGI_JSON);
}

// 0 "OK", anything else "Error" (the disk array pages), and the same words of the JSON pages.
inline constexpr cgi_result_text cgi_ok_error_texts[] = {{0, "OK"}, {CGI_OTHER_RESULT, "Error"}};
inline constexpr cgi_result_text cgi_ok_error_status[] = {{0, "OK"}, {CGI_OTHER_RESULT, "ERROR"}};

// Text "OK" for a result of 0, else "Error".
int cgi_reply_ok_error(int count, const void *payload);
// {"status":"OK"} for a result of 0, else {"status":"ERROR"}.
int cgi_reply_status_ok_error(int count, const void *payload);
// {"result": n} with the reply's first integer.
int cgi_reply_result_json(int count, const void *payload);
