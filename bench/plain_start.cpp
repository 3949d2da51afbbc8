#include "bench/plain_start.h"

namespace vorlen::bench {

bool StartPlain(Platform& platform, const Text& program, const Text& commandLine,
                OwnedHandle& outRead) {
  OwnedHandle outWrite(platform), inRead(platform), inWrite(platform);
  RawHandle r = 0, w = 0;
  if (!platform.CreatePipe(r, w, PipeDirection::FromChild)) return false;
  outRead.adopt(r);
  outWrite.adopt(w);
  platform.MakePrivate(r);
  if (!platform.CreatePipe(r, w, PipeDirection::ToChild)) return false;
  inRead.adopt(r);
  inWrite.adopt(w);
  platform.MakePrivate(w);
  StartedProcess started;
  Text handed;
  if (!platform.Start(program, commandLine, inRead.get(), outWrite.get(), started, handed))
    return false;
  OwnedProcess process(platform);
  process.adopt(started);
  return true;
}

}  // namespace vorlen::bench
