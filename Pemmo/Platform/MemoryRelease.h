// Hands the memory a burst of work freed back to the system once the application has settled.
//
// glibc keeps freed memory in its arenas, and after a large block is freed it raises its
// threshold for serving big requests from them, so a tray application that once loaded its
// address book would hold the high-water mark of that load all day. `limitRetention` keeps big
// requests in their own mappings (returned at once when freed); `schedule` trims every arena a
// settling period after the last burst of work.
#pragma once

#include <QObject>
#include <QTimer>
#include <chrono>

namespace pemmo {

class MemoryRelease : public QObject {
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds defaultSettleTime{2000};

    explicit MemoryRelease(std::chrono::milliseconds settleTime = defaultSettleTime,
                           QObject* parent = nullptr);

    // Serve requests from 256 KB up from mappings of their own. Call once, before the big work.
    static void limitRetention();
    // Trims a settling period after the last call.
    void schedule();
    // Returns the free pages of every arena to the system now.
    static void releaseNow();

private:
    QTimer m_timer;
};

} // namespace pemmo
