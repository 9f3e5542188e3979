#include "main_window/conversion_thread.h"

namespace quorvel {

// The run's observer: each report becomes a queued call on the window's
// thread.
class ConversionThread::Observer final : public RunObserver {
 public:
  Observer(ConversionThread& thread, std::stop_token stop)
      : thread_(thread), stop_(std::move(stop)) {}

  void status(const std::string& text) override {
    post(
        [text = QString::fromStdString(text)](ConversionThread& t) { emit t.statusChanged(text); });
  }
  void progress(int permille) override {
    post([permille](ConversionThread& t) { emit t.progressChanged(permille); });
  }
  std::optional<std::string> password(const std::string& workbook, bool again) override {
    return thread_.askPassword(workbook, again, stop_);
  }

 private:
  template <class F>
  void post(F call) {
    ConversionThread* thread = &thread_;
    QMetaObject::invokeMethod(
        thread, [thread, call = std::move(call)] { call(*thread); }, Qt::QueuedConnection);
  }

  ConversionThread& thread_;
  std::stop_token stop_;
};

ConversionThread::ConversionThread(WindowProcedures& procedures, QObject* parent)
    : QObject(parent), procedures_(procedures) {}

ConversionThread::~ConversionThread() {
  if (worker_.joinable()) {
    worker_.request_stop();
    worker_.join();
  }
}

void ConversionThread::start(PreparedRun run) {
  run_ = std::move(run);
  results_.clear();
  running_ = true;
  stopRequested_ = false;
  worker_ = std::jthread([this](std::stop_token stop) {
    Observer observer(*this, stop);
    std::vector<JobResult> results = procedures_.ConvertJobs(run_, observer, stop);
    QMetaObject::invokeMethod(
        this,
        [this, results = std::move(results)]() mutable {
          worker_.join();
          results_ = std::move(results);
          running_ = false;
          emit finished();
        },
        Qt::QueuedConnection);
  });
}

void ConversionThread::stop() {
  if (!running_) return;
  stopRequested_ = true;
  worker_.request_stop();
}

std::optional<std::string> ConversionThread::askPassword(const std::string& workbook, bool again,
                                                         std::stop_token stop) {
  {
    std::lock_guard lock(mutex_);
    waiting_ = true;
    answer_.reset();
  }
  const QString name = QString::fromStdString(workbook);
  QMetaObject::invokeMethod(
      this, [this, name, again] { emit passwordWanted(name, again); }, Qt::QueuedConnection);
  std::unique_lock lock(mutex_);
  answered_.wait(lock, stop, [this] { return answer_.has_value(); });
  waiting_ = false;
  if (!answer_) return std::nullopt;  // stopped while the question was open
  return *std::exchange(answer_, std::nullopt);
}

void ConversionThread::answerPassword(std::optional<std::string> password) {
  {
    std::lock_guard lock(mutex_);
    if (!waiting_) return;  // the run stopped waiting
    answer_ = std::move(password);
  }
  answered_.notify_all();
}

}  // namespace quorvel
