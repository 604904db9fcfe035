/* What every program of the Windows build sets up before main(), linked into each as an object file.

   Files and the standard streams are binary, as they are everywhere else: no CR LF translation and no
   Ctrl-Z as the end of a file. The runtime's start-up code takes the default mode of open() and fopen()
   from _fmode, which otherwise says text mode; this definition comes ahead of the runtime's own. (The
   toolchain's binmode.o, meant for this, is empty in this mingw-w64 release.) The standard streams are
   set up before that, so they are switched here.

   Narrow text is the ANSI code page: the C runtime's multibyte conversions, which the C++ library's
   file-system paths go through, otherwise take every byte for a Latin-1 character and garble Japanese
   names. */
#include <fcntl.h>
#include <io.h>
#include <locale.h>
#include <stdio.h>

int _fmode = _O_BINARY;

__attribute__((constructor)) static void SetUpRuntime(void)
{
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    setlocale(LC_CTYPE, "");
}
