#include "cli/commands/handheld_database.h"

#include <string>
#include <utility>
#include <vector>

#include "cli/termination_signals.h"
#include "handheld/module_id_box.h"
#include "handheld/posix_handheld_file.h"
#include "link/qt_event_pump.h"
#include "records/download_result.h"

namespace norvale {
namespace {

// The ID box of the command line: the IDs found so far, and the module asked for.
class ListModuleIdBox : public ModuleIdBox {
 public:
  explicit ListModuleIdBox(std::string text) : text_(std::move(text)) {}
  std::vector<std::string> entries() const override { return entries_; }
  void addEntry(const std::string& entry) override { entries_.push_back(entry); }
  std::string text() const override { return text_; }

 private:
  std::vector<std::string> entries_;
  std::string text_;
};

// The database on disk; a file that cannot be opened is named on standard error, with the reason,
// before the final status.
class ReportedHandheldFile : public PosixHandheldFile {
 public:
  explicit ReportedHandheldFile(TerminalDownloadView& view) : view_(view) {}
  Opened open(const std::string& path) override {
    const Opened opened = PosixHandheldFile::open(path);
    if (opened != Opened::Yes) {
      view_.printLine("norvale-cli: cannot read " + path + ": " + openFailure());
    }
    return opened;
  }

 private:
  TerminalDownloadView& view_;
};

}  // namespace

int ReadHandheldDatabase(
    const CliOptions& options, SettingsRecord& settings, RecordTable& records,
    TerminalDownloadView& view,
    const std::function<DatabaseRead(HandheldCommands&, const HandheldContext&)>& read) {
  QtEventPump pump;
  TerminationSignals stopSignals([&pump] { pump.requestStop(); });
  HandheldCommands commands(settings, view, view);
  commands.refuseEmptyResults();
  ReportedHandheldFile file(view);
  ListModuleIdBox ids(options.module);
  const HandheldContext context{file, options.database, ids, records, view, pump};
  const DatabaseRead done = read(commands, context);
  if (done.result == DownloadResult::kNotHandheldDatabase) {
    // The final status, in place of "0 Records Available".
    view.setStatusText("norvale-cli: " + options.database + " is not a handheld database");
  }
  return stopSignals.caught() != 0 ? stopSignals.exitStatus() : done.exitCode;
}

}  // namespace norvale
