// vorlen-convert: converts one document through a Vorlen object, printing each
// Message event as one line. Exit codes: 0 converted, 1 not converted,
// 2 usage error, 3 the conversion raised an error (its number is printed) or
// failed in any other way. Without --converter it looks for the converter
// itself (converter_lookup.h).
#include <cstdio>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "channel/error.h"
#include "client/console_output.h"
#include "client/converter_lookup.h"
#include "client/options.h"
#include "job/command_line.h"
#include "job/vorlen.h"

namespace {

using vorlen::Text;

class PrintingSink final : public vorlen::MessageSink {
 public:
  void Receive(vorlen::TextView msgType, vorlen::TextView msgLocation,
               vorlen::TextView msg) override {
    std::string line = vorlen::ToUtf8(msgType) + " ";
    if (!msgLocation.empty()) line += vorlen::ToUtf8(msgLocation) + ": ";
    line += vorlen::ToUtf8(msg);
    vorlen::client::Print(stdout, line + "\n");
  }
};

int Run(int argc, char** argv) {
  std::vector<Text> args;
  for (int i = 1; i < argc; ++i) args.push_back(vorlen::FromUtf8(argv[i]));

  auto read = vorlen::client::ReadCommandLine(args);
  if (const int* code = std::get_if<int>(&read)) return *code;
  const auto& invocation = std::get<vorlen::client::Invocation>(read);

  vorlen::Vorlen job;
  if (!invocation.NamesConverter()) {
    if (const auto found = vorlen::client::FindConverter(argc > 0 ? argv[0] : nullptr)) {
      job.settings().SetVorlenPath(vorlen::FromUtf8(found->string()));
    }
  }
  for (const auto& call : invocation.calls) vorlen::client::Apply(call, job.settings());

  if (invocation.printCommandLine) {
    const Text line = vorlen::BuildCommandLine(job.settings(), invocation.input, invocation.output);
    vorlen::client::Print(stdout, vorlen::ToUtf8(line) + "\n");
    return 0;
  }

  job.events().Connect(std::make_shared<PrintingSink>());
  return job.Convert(invocation.input, invocation.output) == 1 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  // Nothing may leave main as an exception: that would end the program
  // without a word and with a code that means nothing.
  try {
    return Run(argc, argv);
  } catch (const vorlen::VorlenError& error) {
    vorlen::client::Print(stderr, "vorlen-convert: error " + std::to_string(error.number()) + ": " +
                                      error.what() + "\n");
  } catch (const std::exception& error) {
    vorlen::client::Print(stderr, std::string("vorlen-convert: ") + error.what() + "\n");
  } catch (...) {
    vorlen::client::Print(stderr, "vorlen-convert: unknown failure\n");
  }
  return 3;
}
