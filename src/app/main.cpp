#include "app/ui/app_main.h"

// The program takes no command-line arguments: only its own name is passed on.
int main(int, char* argv[])
{
    return RunVarnetrixReader(argv[0]);
}
