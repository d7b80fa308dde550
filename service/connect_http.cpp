#include "service/connect_http.h"

namespace mirvaly {

TConnectHTTP::TConnectHTTP() : RecvBuffer(new char[kRecvBufferSize]) {}

}  // namespace mirvaly
