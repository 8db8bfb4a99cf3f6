#pragma once

#include <QEvent>
#include <cstdint>

// Messages between the band editors, the liveness watcher and the main dialog. The numbers are
// the window-message ids (WM_USER + 0x100, WM_USER + 0x101); as Qt events they are offset from
// QEvent::User.

inline constexpr int kWindowsUserMessage = 0x0400;
inline constexpr int WM_EQ_BAND_CHANGED = kWindowsUserMessage + 0x100;
inline constexpr int WM_EQ_LIVE_STATUS = kWindowsUserMessage + 0x101;

/// Which field of a band changed (the message's first parameter).
enum BandFieldCode : int {
  kFieldNone = 0,
  kFieldGain = 1,
  kFieldQual = 2,
  kFieldCentFreq = 3,
  kFieldCutoffFreq = 4,
  kFieldStopFreq = 5,
  kFieldEnable = 6,
  kFieldPreamp = 7,  ///< the setup's preamp (band index -2)
};

/// WM_EQ_BAND_CHANGED: sent synchronously (QCoreApplication::sendEvent) to the main dialog.
class BandChangedEvent final : public QEvent {
 public:
  static constexpr QEvent::Type kType = static_cast<QEvent::Type>(QEvent::User + 0x100);
  BandChangedEvent(int fieldCode, int bandIndex)
      : QEvent(kType), m_fieldCode(fieldCode), m_bandIndex(bandIndex) {}
  int FieldCode() const { return m_fieldCode; }
  int BandIndex() const { return m_bandIndex; }

 private:
  int m_fieldCode;
  int m_bandIndex;
};

/// A band editor's type menu chose `type` for band `bandIndex`: sent synchronously to the main
/// dialog, which rebuilds the editors.
class BandTypeEvent final : public QEvent {
 public:
  static constexpr QEvent::Type kType = static_cast<QEvent::Type>(QEvent::User + 0x102);
  BandTypeEvent(int bandIndex, std::uint32_t type)
      : QEvent(kType), m_bandIndex(bandIndex), m_type(type) {}
  int BandIndex() const { return m_bandIndex; }
  std::uint32_t Type() const { return m_type; }

 private:
  int m_bandIndex;
  std::uint32_t m_type;
};

/// WM_EQ_LIVE_STATUS: posted (QCoreApplication::postEvent) by the watcher thread with the
/// liveness flag's value.
class LiveStatusEvent final : public QEvent {
 public:
  static constexpr QEvent::Type kType = static_cast<QEvent::Type>(QEvent::User + 0x101);
  explicit LiveStatusEvent(int value) : QEvent(kType), m_value(value) {}
  int Value() const { return m_value; }

 private:
  int m_value;
};
