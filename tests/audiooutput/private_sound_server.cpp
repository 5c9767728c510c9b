#include "private_sound_server.h"

#include <QDir>
#include <QStandardPaths>
#include <QTest>

#include <sys/prctl.h>

#include <csignal>

namespace tavro::audio::testing {

namespace {
const QString kScript = QStringLiteral(TAVRO_PRIVATE_SOUND_SERVER_SCRIPT);
}

PrivateSoundServer::PrivateSoundServer()
    : dir_(QDir::tempPath() + "/tavro-audio-XXXXXX")
{
    for (const char* sub : {"XDG_RUNTIME_DIR", "HOME", "XDG_CONFIG_HOME"}) {
        QDir(dir_.path()).mkdir(sub);
        qputenv(sub, dir_.filePath(sub).toLocal8Bit());
    }
    // PulseAudio, whatever the caller's environment names: kill() and setHanging() act on
    // the server's one process.
    qputenv("TAVRO_SOUND_SERVER", "pulseaudio");
    qputenv("PULSE_SERVER", harness("address"));
}

bool PrivateSoundServer::installed()
{
    for (const char* program : {"pulseaudio", "pacat", "pactl"})
        if (QStandardPaths::findExecutable(program).isEmpty())
            return false;
    return true;
}

// Runs a program to its end while the test's own events go on (a window's beats, say):
// its output, or nothing when it failed.
std::optional<QByteArray> PrivateSoundServer::run(const QString& program,
                                                  const QStringList& arguments)
{
    QProcess process;
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(program, arguments);
    const bool ended =
        QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, 30000);
    if (!ended || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return std::nullopt;
    return process.readAllStandardOutput().trimmed();
}

QByteArray PrivateSoundServer::harness(const QString& command)
{
    return run("bash", {kScript, command, dir_.path()}).value_or(QByteArray());
}

// Standard error goes to `log` in the private directory; standard output is kept only
// when asked for.
std::unique_ptr<QProcess> PrivateSoundServer::spawn(const QString& program,
                                                    const QStringList& arguments,
                                                    const QString& log, bool keepOutput)
{
    auto process = std::make_unique<QProcess>();
    if (!keepOutput)
        process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(dir_.filePath(log), QIODevice::Append);
    // Dies with the test process, however that ends (the signal outlives exec).
    process->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
    process->start(program, arguments);
    return process->waitForStarted(5000) ? std::move(process) : nullptr;
}

bool PrivateSoundServer::start()
{
    server_ = spawn("bash", {kScript, "run", dir_.path()}, "pulseaudio.log", false);
    return server_ && !harness("wait").isEmpty() && startRecording() && catchUpSink();
}

bool PrivateSoundServer::startRecording()
{
    if (!recorder_)
        recorder_ = spawn("pacat",
                          {"--record", "--raw", "-d", "metro_null.monitor", "--rate=48000",
                           "--channels=1", "--format=s16le", "--latency-msec=10"},
                          "pacat.log", true);
    return recorder_ != nullptr;
}

void PrivateSoundServer::kill()
{
    recorder_.reset();
    if (server_) {
        server_->kill();
        server_->waitForFinished(5000);
    }
}

void PrivateSoundServer::setHanging(bool hanging)
{
    if (server_)
        ::kill(static_cast<pid_t>(server_->processId()), hanging ? SIGSTOP : SIGCONT);
}

// A null sink with no client renders as far ahead as it may (2 s) and then waits for
// its clock, holding back every stream until then. Suspending it resets its clock;
// the recorder, once connected, keeps the sink's latency low from then on.
bool PrivateSoundServer::catchUpSink()
{
    for (int i = 0; i < 20; ++i) {
        for (const char* suspend : {"1", "0"})
            if (!run("pactl", {"suspend-sink", "metro_null", suspend}))
                return false;
        const qint64 recorded = recorder_->bytesAvailable();
        if (QTest::qWaitFor([&] { return recorder_->bytesAvailable() > recorded; }, 100))
            return true;  // the monitor delivers in real time
    }
    return false;
}

QByteArray PrivateSoundServer::stopRecording()
{
    if (!recorder_)
        return {};
    recorder_->terminate();
    recorder_->waitForFinished(5000);
    QByteArray samples = recorder_->readAllStandardOutput();
    recorder_.reset();
    return samples;
}

}  // namespace tavro::audio::testing
