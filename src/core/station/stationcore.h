#pragma once
// The station, without any window: everything that lives for the whole run (shared state, the map
// template, the web sockets with their channels and pacing timers, the serial line, the watchdog, test
// and status timers, the settings values) and every handler. It offers the operator's operations and
// holds the station in its model, which announces every change; the windowed station's windows are
// views of the model, and a headless station runs it alone.
//
// Form_Load() starts the station from its settings; shutDown() (closing the station window, or a
// shutdown signal) writes them back and raises closed().

#include "drawnbearing.h"
#include "seriallog.h"
#include "settings.h"
#include "stationinterface.h"
#include "stationmodel.h"
#include "stationstate.h"

#include "optionscore.h"
#include "platform/serialport.h"
#include "platform/tcpsocketset.h"
#include "platform/timer.h"
#include "platform/timerset.h"

#include <QByteArray>
#include <QObject>
#include <QTime>
#include <functional>
#include <memory>

namespace platform {
class Messages;
}
namespace web {
class ChannelPool;
}

class StationCore : public QObject, public StationInterface
{
    Q_OBJECT

public:
    // Exit statuses a supervisor can act on.
    static constexpr int kExitSettingsUnavailable = 1; // no settings file, or the settings not saved
    static constexpr int kExitWebsitePortUnusable = 3; // headless: the website port could not be used
    // At shutdown, answers already under way may take this long to finish.
    static constexpr int kFinishAnswersMs = platform::connection::kLingerMs;

    explicit StationCore(platform::Messages& messages, QObject* parent = nullptr);
    ~StationCore() override;

    // A station without windows has no operator: a website port it cannot use at start-up ends the run
    // (status 3, settings untouched), a serial port it cannot open at start-up is tried again with DF
    // input left on, and a settings file edited while it runs is not overwritten.
    void setHeadless(bool headless) { m_headless = headless; }

    // StationInterface: what the options operations reach.
    StationState& state() override { return m_state; }
    station::StationModel& model() override { return m_model; }
    platform::TcpSocketSet& httpServer() override { return m_httpServer; }
    platform::SerialPort& serialPort() override { return m_comm; }
    bool serialLineLost() const override { return m_timerReopen.isEnabled(); }
    bool keepsDfInputOn() const override { return m_headless; }
    void CmdButton_ACQUIRE_Click() override;

    const station::StationModel& model() const { return m_model; }
    options::OptionsCore& options() { return m_options; }

    // The operator's other switches.
    void CmdButton_TEST_Click();
    void CmdButton_OPTIONS_Click();

    void ENDPOINT();

    // Start-up: reads the settings, derives the working values, listens and opens the serial line.
    // False when the station cannot run (exitStatus() says why).
    bool Form_Load();

    // The orderly shutdown (Form_Unload): writes the settings, stops accepting connections (raising
    // acceptingStopped()), closes the serial line, lets the answers under way finish for at most
    // kFinishAnswersMs, then raises closed(). Runs once; later calls do nothing.
    void shutDown();
    // A shutdown signal: waiting messages are answered first, then the station shuts down as if its
    // window had been closed; a failed settings write is then only logged.
    void shutDownOnSignal(int signalNumber);

    bool isClosed() const { return m_unloaded; }
    int exitStatus() const { return m_exitStatus; }

    // The map document as it would be served now.
    QString currentDocument() const;

    platform::Timer& timerDf() { return m_timerDf; }
    platform::Timer& timerTest() { return m_timerTest; }
    platform::Timer& timerLinkStat() { return m_timerLinkStat; }
    web::ChannelPool& channels() { return *m_channels; }

    // The test bearing generator reads the local time through this (tests pin the second).
    void setClock(std::function<QTime()> clock) { m_clock = std::move(clock); }

    // Event handlers, public so that tests can drive them directly.
    void MSComm1_OnComm();
    void Timer_DF_Timer();
    void Timer_TEST_Timer();
    void Timer_LINK_STAT_Timer();
    void reopenSerialLine();

signals:
    // The shutdown has written the settings and the website port takes no more connections: whatever
    // else the run listens on stops too.
    void acceptingStopped();
    // The shutdown has run: the program ends with exitStatus().
    void closed();
    // The end point has just been computed from a valid bearing (a DF sentence, or a test tick that
    // draws): the map's next document carries this line. The model's bearingDrawn, passed on.
    void bearingDrawn(const station::DrawnBearing& bearing);

private:
    bool startUp();
    bool loadSettings(station::Settings& settings);
    void applySettings(const station::Settings& settings);
    station::Settings currentSettings() const;
    void saveSettings();
    bool leavesSettingsFileAlone() const;
    void settingsUnavailable(const QString& path, const QString& problem);
    void showComPortMessage();
    void serialLineGone();
    void logDfStatus(station::DfStatus status);
    void announceDrawn(station::DrawnBearing::Source source);
    // The bearing line collapses onto the station, and the model says so.
    void collapseLine();
    void setDfValid(bool valid);

    platform::Messages& m_messages;
    StationState m_state;
    station::StationModel m_model;
    QString m_kmlTemplate;

    platform::TcpSocketSet m_httpServer;
    platform::TimerSet m_sendTimers;
    platform::SerialPort m_comm;
    platform::Timer m_timerDf;
    platform::Timer m_timerTest;
    platform::Timer m_timerLinkStat;
    platform::Timer m_timerReopen;
    std::unique_ptr<web::ChannelPool> m_channels;
    station::SerialLog m_serialLog{m_comm};
    options::OptionsCore m_options{*this};

    std::function<QTime()> m_clock = [] { return QTime::currentTime(); };
    QByteArray m_settingsAsRead; // the file as the start-up read it
    bool m_headless = false;
    bool m_settingsLoaded = false;
    bool m_unloaded = false;
    bool m_closingOnSignal = false;
    bool m_loading = false;
    bool m_closePending = false;
    int m_exitStatus = 0;
};
