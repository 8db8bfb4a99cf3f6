// The main window's liveness watcher: a thread reads the flag once a second and a flag of 0
// closes the window, with every box it has open.
#include <QApplication>
#include <QCoreApplication>
#include <chrono>
#include <mutex>
#include <system_error>

#include "settings/LiveFlag.h"
#include "ui/EqEvents.h"
#include "ui/TonvaleDlg.h"

namespace {

constexpr auto kLivePollPeriod = std::chrono::milliseconds(1000);

}  // namespace

void CTonvaleDlg::StartLiveCheck() {
  if (m_context.config.checkLive != 1) {
    return;
  }
  const LiveFlagReading flag = ReadLiveFlag(m_context.configPath);
  if (!flag.present || flag.value != 1) {
    return;
  }
  StopLiveCheck();
  liveCheckRunning.store(1);
  try {
    liveCheckThread = std::thread(&CTonvaleDlg::LiveCheckThreadProc, this);
  } catch (const std::system_error&) {
    liveCheckRunning.store(0);  // no watcher; the window runs without one
  }
}

void CTonvaleDlg::LiveCheckThreadProc() {
  if (liveCheckRunning.load() == 0) {
    return;
  }
  while (true) {
    const LiveFlagReading flag = ReadLiveFlag(m_context.configPath);
    if (selfWindow != nullptr) {
      QCoreApplication::postEvent(selfWindow, new LiveStatusEvent(flag.value));
    }
    std::unique_lock<std::mutex> lock(m_liveMutex);
    m_liveWake.wait_for(lock, kLivePollPeriod, [this] { return liveCheckRunning.load() == 0; });
    if (liveCheckRunning.load() == 0) {
      return;
    }
  }
}

void CTonvaleDlg::StopLiveCheck() {
  {
    const std::lock_guard<std::mutex> lock(m_liveMutex);
    liveCheckRunning.store(0);
  }
  m_liveWake.notify_all();
  if (liveCheckThread.joinable()) {
    liveCheckThread.join();
  }
}

int CTonvaleDlg::OnLiveStatus(int value) {
  ++m_liveStatusCount;
  if (value != 0 || m_closingOnFlag) {
    return 0;
  }
  StopLiveCheck();
  // A controlling program must not wait on a person: every box goes with the window, and a
  // running conversion stops before its next step (nothing half-written stays behind).
  m_closingOnFlag = true;
  m_cancelConversion = true;
  CloseOpenBoxes();
  reject();
  return 0;
}

void CTonvaleDlg::CloseOpenBoxes() {
  for (QWidget* window : QApplication::topLevelWidgets()) {
    auto* box = qobject_cast<QDialog*>(window);
    if (box == nullptr || box == this || !box->isVisible()) {
      continue;
    }
    // Only a box this window opened: one whose owner chain leads here.
    for (QWidget* owner = box->parentWidget(); owner != nullptr; owner = owner->parentWidget()) {
      if (owner == this) {
        box->reject();
        break;
      }
    }
  }
}
