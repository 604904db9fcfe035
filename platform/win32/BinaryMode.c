/* Files open in binary mode, as they do everywhere else: the runtime's start-up code takes the default
   mode of open() and fopen() from this variable, which otherwise says text mode (CR LF translation and
   Ctrl-Z as the end of a file). Linked into every program as an object file, ahead of the runtime's
   own definition. (The toolchain's binmode.o, meant for this, is empty in this mingw-w64 release.) */
int _fmode = 0x8000; /* _O_BINARY */
