#pragma once

#include "paced_pipe_reader.h"

#include <QByteArray>
#include <QProcess>
#include <QTemporaryDir>

#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace tavro::audio::testing {

// The test's own sound server, as tests/support/private_sound_server.sh starts it: one
// null sink, "metro_null" (48 kHz), listening on sockets in a fresh temporary directory.
// Constructing it points this process at them (PULSE_SERVER, PIPEWIRE_RUNTIME_DIR) and at
// private runtime, home and config directories, so nothing reaches a desktop's server
// or files; until start() nothing listens there, which is how a test sees a machine
// without a sound server. Every process it starts dies with the test process, even
// when the test fails.
//
// PulseAudio by default; PipeWire as desktops run it (pipewire, wireplumber and
// pipewire-pulse on a session bus of their own), recorded by graph-record at the graph's
// positions; or a PipeWire without a sound device, as a desktop that runs PulseAudio may
// run one beside it for screen sharing (no PulseAudio server, no sink, nothing recorded).
class PrivateSoundServer {
public:
    enum class Kind { PulseAudio, PipeWire, PipeWireWithoutSinks };

    explicit PrivateSoundServer(Kind kind = Kind::PulseAudio);
    ~PrivateSoundServer();  // ends the server and everything it started

    static bool installed(Kind kind = Kind::PulseAudio);  // the server's programs are there

    // Starts the server (again, on the same socket), waits until it answers and starts
    // recording its null sink's monitor, mono 16-bit 48 kHz with a 10 ms latency. Once
    // it returns, the sink plays in real time: a stream plays from its start. Events are
    // processed meanwhile, so signals may arrive before it returns.
    bool start();
    // Kills the server at once, as a crash would (PipeWire: all its processes).
    void kill();
    // Stops the server's process where it stands, as a server that hangs, or lets it go on.
    void setHanging(bool hanging);
    // What the recorder got since it started.
    QByteArray stopRecording();
    // PipeWire: the same, with when each sample was played (graph-record tells when its
    // first one was); nothing where that cannot be had.
    std::optional<PacedPipeReader::Heard> stopRecordingWithTimes();
    // Records again, if stopped, with the same settings: the monitor of `sink`.
    bool startRecording(const QString& sink = QStringLiteral("metro_null"));

    // Runs pactl on this server: its output, or nothing when it failed.
    std::optional<QByteArray> pactl(const QStringList& arguments);

    // A stream playing on the server, as a volume mixer sees it.
    struct Stream {
        QString index;  // of the sink input, for move-sink-input
        QString sink;   // the name of the sink it plays on
        std::map<QString, QString> properties;
    };
    // The streams that this process plays.
    std::vector<Stream> streamsOfThisProcess();
    // Adds a sink, `name`, that the returned reader plays (48 kHz mono, 16 bit) with the
    // latency of `pipeBytes` (see PacedPipeReader); null when it cannot be made.
    std::unique_ptr<PacedPipeReader> addPipeSink(const QString& name, int pipeBytes);

private:
    bool catchUpSink();
    QProcessEnvironment environment() const;
    std::optional<QByteArray> run(const QString& program, const QStringList& arguments);
    QByteArray harness(const QString& command);  // the script's answer for this server
    std::unique_ptr<QProcess> spawn(const QString& program, const QStringList& arguments,
                                    const QString& log, bool keepOutput);

    Kind kind_;
    QTemporaryDir dir_;
    // QProcess kills and reaps what still runs: the recorder goes before its server.
    std::unique_ptr<QProcess> server_;
    std::unique_ptr<QProcess> recorder_;
};

}  // namespace tavro::audio::testing
