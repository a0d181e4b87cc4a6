// The scan's worker thread: runs the whole scan sequence of one recovery
// source into a ScanResults, and hands what happens back to the
// user-interface thread as queued calls on a context object. The object that
// owns the worker owns the thread: it is joined in Stop and in the
// destructor, so nothing the scan uses goes away while it runs.
//
// Pause holds the scan at its next progress report; Stop asks it to end at
// its next report (a paused scan is released first).
#pragma once

#include <QObject>
#include <QString>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/recovery/iphone_recovery_parse.h"
#include "core/recovery/scan_results.h"
#include "core/recovery/category_kind.h"
#include "core/results/scan_categories.h"

namespace scrivel::gui {

class CScanWorker {
 public:
  // What the scan tells its owner; each runs on the context object's thread.
  struct Events {
    std::function<void(int percent)> progress;        // the overall percent rose
    std::function<void(const QString& operation)> operation;  // a new step begins
    std::function<void()> sourceOpened;               // the source opened; category scans follow
    std::function<void(const std::vector<CategoryKind>& kinds)> categoriesDone;  // sorted, rows built
    std::function<void(std::error_code result)> finished;         // the sequence ended with this core result
  };

  CScanWorker(QObject* context, Events events);
  ~CScanWorker();
  CScanWorker(const CScanWorker&) = delete;
  CScanWorker& operator=(const CScanWorker&) = delete;

  // Starts the scan of `source` (which must stay alive until the worker is
  // joined) into `results` and `rows`. The password is moved in and wiped
  // once the source has used it. Returns false when a scan still runs.
  bool Start(IPhoneRecoveryParse& source, std::string password, ScanResults& results, ConversationRows& rows);

  void Pause();
  void Resume();
  // Asks the scan to stop and waits for its thread to end.
  void Stop();
  // Waits for the thread of a scan that ended or was asked to stop.
  void Join();

  bool running() const;  // a thread exists that was not joined yet
  bool paused() const;

 private:
  class Observer;
  [[nodiscard]] static std::error_code OnProgress(void* userData, int percent);
  [[nodiscard]] std::error_code Progress(int percent);
  void Post(std::function<void()> call);

  QObject* m_context;
  Events m_events;
  std::thread m_thread;
  mutable std::mutex m_lock;
  std::condition_variable m_wake;
  bool m_paused = false;        // under m_lock
  bool m_stopRequested = false; // under m_lock
  int m_shownPercent = 0;       // scan thread only
  unsigned m_generation = 0;    // counts the scans started; changed only while no thread runs
};

}  // namespace scrivel::gui
