// What a login hands the browser: the session id of "/1000" and the cookie domain of the e-mail
// link's cookies ("/1018"); and the directories a login makes sure exist.
#pragma once

#include <cstddef>

constexpr size_t SESSION_ID_SIZE = 100;   // the buffer get_session_id fills
constexpr size_t SESSION_ID_DIGITS = 32;
constexpr size_t COOKIE_DOMAIN_SIZE = 49;  // a domain of up to 48 characters

// Zeroes the SESSION_ID_SIZE-byte buffer and writes SESSION_ID_DIGITS decimal digits drawn from the
// kernel's random source, each digit equally likely. 0, or -1 (buffer empty) when no random bytes
// could be had. This program hands the id to the browser only; it neither stores nor checks it.
int get_session_id(char *buffer);

// The cookie domain for the host the browser addressed (HTTP_HOST), without its port, in a buffer of
// COOKIE_DOMAIN_SIZE bytes. An IPv6 literal ("[::1]:8080"), a host of more than 48 characters, or one
// with characters a host name does not have gives "": the browser then keeps the cookies for the
// addressed host alone.
void mail_cookie_domain(const char *host, char *domain);

// Makes sure the certificate directories "/mnt/nand/ssl" and "/mnt/nand/ssl/tmp" exist. A directory
// that cannot be made is not reported: the login goes on.
void config_ssl_params();
