#include "private_sound_server.h"

#include "audio/sound_server_probe.h"

#include <QDir>
#include <QStandardPaths>
#include <QThread>

#include <sys/prctl.h>

#include <chrono>
#include <csignal>

namespace tavro::audio::testing {

namespace {
using namespace std::chrono_literals;
}

PrivateSoundServer::PrivateSoundServer() : dir_(QDir::tempPath() + "/tavro-audio-XXXXXX")
{
    for (const char* sub : {"run", "home", "config"})
        QDir(dir_.path()).mkdir(sub);
    qputenv("PULSE_SERVER", ("unix:" + dir_.filePath("native")).toLocal8Bit());
    qputenv("XDG_RUNTIME_DIR", dir_.filePath("run").toLocal8Bit());
    qputenv("HOME", dir_.filePath("home").toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", dir_.filePath("config").toLocal8Bit());
}

PrivateSoundServer::~PrivateSoundServer()
{
    recorder_.reset();  // QProcess kills and reaps what still runs
    server_.reset();
}

bool PrivateSoundServer::installed()
{
    return !QStandardPaths::findExecutable("pulseaudio").isEmpty()
        && !QStandardPaths::findExecutable("pacat").isEmpty()
        && !QStandardPaths::findExecutable("pactl").isEmpty();
}

std::unique_ptr<QProcess> PrivateSoundServer::spawn(const QString& program,
                                                    const QStringList& arguments,
                                                    const QString& log, bool keepOutput)
{
    auto process = std::make_unique<QProcess>();
    process->setProgram(program);
    process->setArguments(arguments);
    if (!keepOutput)
        process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(dir_.filePath(log), QIODevice::Append);
    // Dies with the test process, however that ends.
    process->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
    process->start();
    if (!process->waitForStarted(5000))
        return nullptr;
    return process;
}

bool PrivateSoundServer::start()
{
    server_ = spawn("pulseaudio",
                    {"-n", "--daemonize=no", "--use-pid-file=no", "--exit-idle-time=-1",
                     "-L", "module-native-protocol-unix auth-anonymous=1 socket="
                               + dir_.filePath("native"),
                     "-L", "module-null-sink sink_name=metro_null rate=48000 channels=2 "
                           "format=s16le"},
                    "pulseaudio.log", false);
    if (!server_)
        return false;
    for (int i = 0; i < 250; ++i) {
        if (soundServerReachable(100ms))
            return startRecording() && catchUpSink();
        if (server_->state() != QProcess::Running)
            return false;
        QThread::msleep(20);
    }
    return false;
}

void PrivateSoundServer::kill()
{
    recorder_.reset();
    if (server_) {
        server_->kill();
        server_->waitForFinished(5000);
    }
}

bool PrivateSoundServer::startRecording()
{
    recorder_ = spawn("pacat",
                      {"--record", "--raw", "-d", "metro_null.monitor", "--rate=48000",
                       "--channels=1", "--format=s16le", "--latency-msec=10"},
                      "pacat.log", true);
    return recorder_ != nullptr;
}

// A null sink with no client renders as far ahead as it may (2 s) and then waits for
// its clock, holding back every stream until then. Suspending it resets its clock;
// the recorder, once connected, keeps the sink's latency low from then on.
bool PrivateSoundServer::catchUpSink()
{
    for (int i = 0; i < 20; ++i) {
        for (const char* suspend : {"1", "0"}) {
            QProcess pactl;
            pactl.start("pactl", {"suspend-sink", "metro_null", suspend});
            if (!pactl.waitForFinished(5000) || pactl.exitCode() != 0)
                return false;
        }
        if (recorder_->waitForReadyRead(100))
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
