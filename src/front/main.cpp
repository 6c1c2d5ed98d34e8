#include "front/intake.h"

int main()
{
    return cgi_main();
}
