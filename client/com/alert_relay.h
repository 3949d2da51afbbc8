#pragma once
// Turns the alerts that the component raises on this thread (standard message
// boxes) into text: each box is read as it opens, handed on, and closed with
// OK before anyone could click, so a command-line run never waits on a box.
#include <windows.h>

#include <functional>
#include <string>

namespace vorlen::client {

class AlertRelay {
 public:
  // `handler` receives each box's text; it runs inside the hook.
  explicit AlertRelay(std::function<void(const std::wstring&)> handler);
  AlertRelay(const AlertRelay&) = delete;
  AlertRelay& operator=(const AlertRelay&) = delete;
  ~AlertRelay();

 private:
  HHOOK hook_;
  std::function<void(const std::wstring&)> handler_;
  std::function<void(const std::wstring&)>* previous_;
};

}  // namespace vorlen::client
