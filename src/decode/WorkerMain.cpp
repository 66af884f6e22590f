// lumora-decode: the process in which Lumora decodes picture files. Lumora starts it with a socket
// on file descriptor 3 (see DecodeProtocol.h); it is not meant to be run by hand.

#include <sys/stat.h>

#include <cstdio>

#include "decode/mdlDecodeWorker.h"

int main() {
    struct stat st {};
    if (::fstat(DecodeProtocol::kSocketFd, &st) != 0 || !S_ISSOCK(st.st_mode)) {
        std::fputs("lumora-decode decodes pictures for Lumora, which starts it.\n", stderr);
        return 2;
    }
    if (!mdlDecodeWorker::TieToParent()) {
        return 0;  // started as its parent died
    }
    mdlDecodeWorker::LimitResources();
    return mdlDecodeWorker::Serve(DecodeProtocol::kSocketFd);
}
