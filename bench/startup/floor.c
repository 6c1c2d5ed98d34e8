/* The floor: the least a CGI request process can cost, a static C program writing a plain answer. */
#include <stdio.h>

int main(void)
{
    fputs("Content-type: text/plain\r\n\r\nOK", stdout);
    return 0;
}
