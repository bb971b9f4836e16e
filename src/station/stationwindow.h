#pragma once
// The station window (Form_STATION): owns everything that lives for the whole run (shared state, the
// map template, the web sockets and their pacing timers, the serial line, the watchdog, test and
// status timers) and routes their events to the code of the subsystems. Creating it shows the
// creation state; Form_Load() starts the station from its settings; closing it runs Form_Unload().

#include "stationinterface.h"
#include "stationstate.h"

#include "platform/serialport.h"
#include "platform/tcpsocketset.h"
#include "platform/timer.h"
#include "platform/timerset.h"

#include <QDateTime>
#include <QWidget>
#include <functional>
#include <memory>

class QLabel;
class Form_OPTIONS;

namespace platform {
class TagButton;
}
namespace web {
class ChannelPool;
}

class Form_STATION : public QWidget, public StationInterface
{
    Q_OBJECT

public:
    explicit Form_STATION(QWidget* parent = nullptr);
    ~Form_STATION() override;

    // StationInterface: what the options window reaches.
    StationState& state() override { return m_state; }
    void setSiteCaption(const QString& caption) override;
    platform::TcpSocketSet& httpServer() override { return m_httpServer; }
    platform::SerialPort& serialPort() override { return m_comm; }
    QString acquireTag() const override;
    void CmdButton_ACQUIRE_Click() override;
    void ENDPOINT() override;

    // Start-up: reads the settings, derives the working values, listens and opens the serial line.
    // False when the station cannot start at all (no settings file can be read or created).
    bool Form_Load();

    // Closing asked for by SIGTERM, SIGINT or SIGHUP: a failed settings write then goes to standard
    // error instead of a message box, and the exit status says so.
    void closeFromSignal();
    int exitStatus() const { return m_exitStatus; }
    // True once the shutdown has run.
    bool isClosed() const { return m_unloaded; }

    // The options window, created hidden on first use.
    Form_OPTIONS& options();

    const QString& kmlTemplate() const { return m_kmlTemplate; }
    // The map document as it would be served now.
    QString currentDocument() const;

    platform::Timer& timerDf() { return m_timerDf; }
    platform::Timer& timerTest() { return m_timerTest; }
    platform::Timer& timerLinkStat() { return m_timerLinkStat; }
    platform::TimerSet& sendTimers() { return m_sendTimers; }
    web::ChannelPool& channels() { return *m_channels; }

    // The test bearing generator reads the local time through this (tests pin the second).
    void setClock(std::function<QTime()> clock) { m_clock = std::move(clock); }

    // Event handlers, public so that tests can drive them directly.
    void MSComm1_OnComm();
    void Timer_DF_Timer();
    void Timer_TEST_Timer();
    void Timer_LINK_STAT_Timer();
    void CmdButton_TEST_Click();
    void CmdButton_OPTIONS_Click();

protected:
    // Form_Unload: writes the settings and closes the options window; never cancels the close.
    void closeEvent(QCloseEvent* event) override;

private:
    void createControls();
    bool startUp();
    void showComPortMessage();
    bool loadSettings();
    void saveSettings();
    void Form_Unload();

    StationState m_state;
    QString m_kmlTemplate;

    platform::TcpSocketSet m_httpServer;
    platform::TimerSet m_sendTimers;
    platform::SerialPort m_comm;
    platform::Timer m_timerDf;
    platform::Timer m_timerTest;
    platform::Timer m_timerLinkStat;
    std::unique_ptr<web::ChannelPool> m_channels;

    platform::TagButton* m_acquire = nullptr;
    platform::TagButton* m_test = nullptr;
    platform::TagButton* m_optionsButton = nullptr;
    QLabel* m_dfStatus = nullptr;
    QLabel* m_testStatus = nullptr;
    QLabel* m_reportedBearing = nullptr;
    QLabel* m_site = nullptr;
    QLabel* m_http0 = nullptr;

    std::unique_ptr<Form_OPTIONS> m_options;
    std::function<QTime()> m_clock = [] { return QTime::currentTime(); };
    bool m_settingsLoaded = false;
    bool m_unloaded = false;
    bool m_closingOnSignal = false;
    bool m_loading = false;
    bool m_closePending = false;
    int m_exitStatus = 0;
};
