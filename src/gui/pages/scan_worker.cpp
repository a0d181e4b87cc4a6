#include "gui/pages/scan_worker.h"

#include <openssl/crypto.h>

#include <QMetaObject>
#include <QPointer>

#include "core/common/result_codes.h"
#include "core/recovery/scan_sequence.h"

namespace scrivel::gui {

// Runs on the scan thread: sorts each finished category and builds its rows
// there, then tells the owner.
class CScanWorker::Observer : public ScanObserver {
 public:
  Observer(CScanWorker& worker, ScanResults& results, ConversationRows& rows)
      : m_worker(worker), m_results(results), m_rows(rows) {}

  void OnScanStarting(std::string_view operation) override {
    const QString text = QString::fromUtf8(operation.data(), static_cast<qsizetype>(operation.size()));
    CScanWorker* worker = &m_worker;  // the observer ends with the thread; the worker lives on
    worker->Post([worker, text] {
      if (worker->m_events.operation) worker->m_events.operation(text);
    });
  }
  void OnSourceOpened() override {
    CScanWorker* worker = &m_worker;
    worker->Post([worker] {
      if (worker->m_events.sourceOpened) worker->m_events.sourceOpened();
    });
  }
  void OnCategoriesDone(std::span<const CategoryKind> kinds) override {
    std::vector<CategoryKind> done(kinds.begin(), kinds.end());
    for (CategoryKind kind : done) PrepareCategory(kind, m_results, m_rows);
    CScanWorker* worker = &m_worker;
    worker->Post([worker, done] {
      if (worker->m_events.categoriesDone) worker->m_events.categoriesDone(done);
    });
  }

 private:
  CScanWorker& m_worker;
  ScanResults& m_results;
  ConversationRows& m_rows;
};

CScanWorker::CScanWorker(QObject* context, Events events) : m_context(context), m_events(std::move(events)) {}

CScanWorker::~CScanWorker() { Stop(); }

bool CScanWorker::Start(IPhoneRecoveryParse& source, std::string password, ScanResults& results,
                        ConversationRows& rows) {
  if (m_thread.joinable()) return false;
  ++m_generation;
  {
    std::lock_guard guard(m_lock);
    m_paused = false;
    m_stopRequested = false;
  }
  m_shownPercent = 0;
  source.SetProgressCallback(&CScanWorker::OnProgress, this);
  m_thread = std::thread([this, &source, &results, &rows, password = std::move(password)]() mutable {
    Observer observer(*this, results, rows);
    const std::error_code result = RunScanSequence(source, password, results, observer);
    OPENSSL_cleanse(password.data(), password.size());
    Post([this, result] {
      if (m_events.finished) m_events.finished(result);
    });
  });
  return true;
}

void CScanWorker::Pause() {
  std::lock_guard guard(m_lock);
  m_paused = true;
}

void CScanWorker::Resume() {
  {
    std::lock_guard guard(m_lock);
    m_paused = false;
  }
  m_wake.notify_all();
}

void CScanWorker::Stop() {
  {
    std::lock_guard guard(m_lock);
    m_stopRequested = true;
    m_paused = false;
  }
  m_wake.notify_all();
  Join();
}

void CScanWorker::Join() {
  if (m_thread.joinable()) m_thread.join();
}

bool CScanWorker::running() const { return m_thread.joinable(); }

bool CScanWorker::paused() const {
  std::lock_guard guard(m_lock);
  return m_paused;
}

std::error_code CScanWorker::OnProgress(void* userData, int percent) { return static_cast<CScanWorker*>(userData)->Progress(percent); }

std::error_code CScanWorker::Progress(int percent) {
  {
    std::unique_lock lock(m_lock);
    m_wake.wait(lock, [this] { return !m_paused || m_stopRequested; });
    if (m_stopRequested) return kCancelled;
  }
  // Only a rise is shown, so the bar never moves back and the queue of the
  // user-interface thread gets at most a hundred of these.
  if (percent > m_shownPercent) {
    m_shownPercent = percent;
    Post([this, percent] {
      if (m_events.progress) m_events.progress(percent);
    });
  }
  return {};
}

void CScanWorker::Post(std::function<void()> call) {
  // The context object owns the worker, so the worker lives as long as the
  // queued call can run. A call of an earlier scan that arrives after the
  // next one started is dropped. m_generation changes only while no thread
  // runs.
  const unsigned generation = m_generation;
  QMetaObject::invokeMethod(
      m_context,
      [this, generation, call = std::move(call)] {
        if (generation == m_generation) call();
      },
      Qt::QueuedConnection);
}

}  // namespace scrivel::gui
