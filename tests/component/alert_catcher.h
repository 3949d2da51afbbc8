#pragma once
// Captures every alert (a standard message box) that the calling thread shows
// while the catcher lives, and dismisses it with OK, through a thread-local
// WH_CBT hook. With Wine's null graphics driver a box blocks as on Windows.
#include <windows.h>

#include <string>
#include <vector>

namespace vorlen::test {

class AlertCatcher {
 public:
  AlertCatcher();
  AlertCatcher(const AlertCatcher&) = delete;
  AlertCatcher& operator=(const AlertCatcher&) = delete;
  ~AlertCatcher();

  const std::vector<std::string>& alerts() const;  // prompts, in order (UTF-8)

 private:
  HHOOK hook_;
  std::vector<std::string> alerts_;
  std::vector<std::string>* previous_;
};

}  // namespace vorlen::test
