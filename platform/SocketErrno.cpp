// The Windows Sockets number of an errno value, for the socket layer and its tests on either system.
#include "platform/AsyncSocket.h"

#include <cerrno>

namespace vorlane {

int SocketErrorFromErrno(int error)
{
    switch (error) {
    case 0:
        return 0;
    case EWOULDBLOCK:
        return 10035;
#if EAGAIN != EWOULDBLOCK
    case EAGAIN:
        return 10035;
#endif
    case EINPROGRESS:
        return 10035;
    case EALREADY:
        return 10037;
    case ENOTSOCK:
        return 10038;
    case EMSGSIZE:
        return 10040;
    case EADDRINUSE:
        return 10048;
    case EADDRNOTAVAIL:
        return 10049;
    case ENETDOWN:
        return 10050;
    case ENETUNREACH:
        return 10051;
    case ECONNABORTED:
        return 10053;
    case ECONNRESET:
        return 10054;
    case EPIPE:
        return 10054;
    case ENOBUFS:
        return 10055;
    case EISCONN:
        return 10056;
    case ENOTCONN:
        return 10057;
    case ETIMEDOUT:
        return 10060;
    case ECONNREFUSED:
        return 10061;
    case EHOSTUNREACH:
        return 10065;
    case EINTR:
        return 10004;
    case EBADF:
        return 10009;
    case EACCES:
        return 10013;
    case EFAULT:
        return 10014;
    case EINVAL:
        return 10022;
    case EMFILE:
        return 10024;
    default:
        return 10100 + error; // outside the message table, above 10000 so it is never tolerated
    }
}

} // namespace vorlane
