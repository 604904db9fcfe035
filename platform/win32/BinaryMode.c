/* Files and the standard streams are binary, as they are everywhere else: no CR LF translation and no
   Ctrl-Z as the end of a file. The runtime's start-up code takes the default mode of open() and fopen()
   from _fmode, which otherwise says text mode; this object is linked into every program, ahead of the
   runtime's own definition. (The toolchain's binmode.o, meant for this, is empty in this mingw-w64
   release.) The standard streams are set up before that, so they are switched here. */
#include <fcntl.h>
#include <io.h>
#include <stdio.h>

int _fmode = _O_BINARY;

__attribute__((constructor)) static void BinaryStandardStreams(void)
{
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
}
