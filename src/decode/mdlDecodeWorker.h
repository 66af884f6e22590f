#pragma once

#include <QtGlobal>
#include <vector>

#include "decode/DecodeProtocol.h"

// The decode worker: the process (lumora-decode, beside the lumora executable) in which FreeImage
// decodes picture files, so that a hostile file can only take the worker down. It answers the
// requests of DecodeProtocol.h on the socket it finds on DecodeProtocol::kSocketFd. Built from the
// image sources and this module alone: it needs nothing of the pool that starts it.
namespace mdlDecodeWorker {

// The worker's own limits: address space (the decoder's memory; pictures up to the pixel limit
// still fit), a wall-clock alarm per request and a limit of CPU time, which end a worker whose
// decoder spins when nobody else does (the parent kills it much sooner). The CPU limit counts the
// worker's whole life: a worker that has used kRetireCpuSeconds says so in its reply
// (DecodeProtocol::kLastReply) and ends, so that every request starts with the rest of the limit
// before it.
inline constexpr quint64 kAddressSpaceLimit = quint64(2) << 30;  // bytes
inline constexpr unsigned kSelfAlarmSeconds = 60;
inline constexpr unsigned kCpuLimitSeconds = 30;
inline constexpr unsigned kRetireCpuSeconds = 15;

// Sets the worker's resource limits (address space, CPU time, no core files). Called once at
// start.
void LimitResources();

// Makes the worker end (SIGKILL) when the thread of its parent that started it ends, which
// happens at the latest when the parent's process ends. False when the parent named in
// DecodeProtocol::kParentVariable is already gone: the worker must end at once.
bool TieToParent();

// Answers requests on iSocket until the parent closes it. Returns the process exit code.
int Serve(int iSocket);

// Sends one reply on iSocket, in one message; with iMemfd >= 0 it carries that descriptor
// (SCM_RIGHTS). True when the whole reply went.
bool SendReply(int iSocket, const DecodeProtocol::Reply& iReply, int iMemfd);
// The same with up to three descriptors, in this order (see DecodeProtocol.h).
bool SendReply(int iSocket, const DecodeProtocol::Reply& iReply, const std::vector<int>& iFds);

}  // namespace mdlDecodeWorker
