#pragma once
// A conversion run on a thread of its own, so that the window stays
// usable. Everything the run reports reaches the window as signals on the
// window's thread; a password the run needs is asked for there while the
// run waits, and a stop ends the wait as well as the run.
#include <QObject>
#include <QString>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "engine/window/window_procedures.h"

namespace quorvel {

class ConversionThread : public QObject {
  Q_OBJECT
 public:
  explicit ConversionThread(WindowProcedures& procedures, QObject* parent = nullptr);
  ~ConversionThread() override;  // stops a run and waits for its end

  // Starts `run` (from BeginConversion); finished() follows its end.
  void start(PreparedRun run);
  // Asks the run to stop: soon after, finished().
  void stop();
  bool running() const { return running_; }
  bool stopRequested() const { return stopRequested_; }

  // The run's jobs, and after finished() what became of them.
  const PreparedRun& run() const { return run_; }
  const std::vector<JobResult>& results() const { return results_; }

  // Answers passwordWanted(); nothing skips the workbook.
  void answerPassword(std::optional<std::string> password);

 signals:
  void statusChanged(const QString& text);
  void progressChanged(int permille);
  void passwordWanted(const QString& workbook, bool again);
  void finished();

 private:
  class Observer;

  // On the run's thread: posts a password question and waits for its
  // answer or a stop.
  std::optional<std::string> askPassword(const std::string& workbook, bool again,
                                         std::stop_token stop);

  WindowProcedures& procedures_;
  PreparedRun run_;
  std::vector<JobResult> results_;
  bool running_ = false;
  bool stopRequested_ = false;

  std::mutex mutex_;
  std::condition_variable_any answered_;
  bool waiting_ = false;
  std::optional<std::optional<std::string>> answer_;

  std::jthread worker_;  // last: ends first
};

}  // namespace quorvel
