#include "private_sound_server.h"

#include "audio/sound_server_probe.h"

#include <QDir>
#include <QStandardPaths>
#include <QThread>

#include <sys/prctl.h>

#include <chrono>
#include <csignal>

namespace tavro::audio::testing {

PrivateSoundServer::PrivateSoundServer() : dir_(QDir::tempPath() + "/tavro-audio-XXXXXX")
{
    qputenv("PULSE_SERVER", ("unix:" + dir_.filePath("native")).toLocal8Bit());
    for (const char* sub : {"XDG_RUNTIME_DIR", "HOME", "XDG_CONFIG_HOME"}) {
        QDir(dir_.path()).mkdir(sub);
        qputenv(sub, dir_.filePath(sub).toLocal8Bit());
    }
}

bool PrivateSoundServer::installed()
{
    for (const char* program : {"pulseaudio", "pacat", "pactl"})
        if (QStandardPaths::findExecutable(program).isEmpty())
            return false;
    return true;
}

// Standard error goes to <program>.log in the private directory.
std::unique_ptr<QProcess> PrivateSoundServer::spawn(const QString& program, const QStringList& arguments)
{
    auto process = std::make_unique<QProcess>();
    if (program != "pacat")  // only the recorder's output is wanted
        process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(dir_.filePath(program + ".log"), QIODevice::Append);
    // Dies with the test process, however that ends.
    process->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
    process->start(program, arguments);
    return process->waitForStarted(5000) ? std::move(process) : nullptr;
}

bool PrivateSoundServer::start()
{
    server_ = spawn("pulseaudio",
                    {"-n", "--daemonize=no", "--use-pid-file=no", "--exit-idle-time=-1",
                     "-L", "module-native-protocol-unix auth-anonymous=1 socket=" + dir_.filePath("native"),
                     "-L", "module-null-sink sink_name=metro_null rate=48000 channels=2 format=s16le"});
    for (int i = 0; server_ && server_->state() == QProcess::Running && i < 250; ++i) {
        if (soundServerReachable(std::chrono::milliseconds(100)))
            return startRecording() && catchUpSink();
        QThread::msleep(20);
    }
    return false;
}

bool PrivateSoundServer::startRecording()
{
    if (!recorder_)
        recorder_ = spawn("pacat", {"--record", "--raw", "-d", "metro_null.monitor", "--rate=48000",
                                    "--channels=1", "--format=s16le", "--latency-msec=10"});
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

// A null sink with no client renders as far ahead as it may (2 s) and then waits for
// its clock, holding back every stream until then. Suspending it resets its clock;
// the recorder, once connected, keeps the sink's latency low from then on.
bool PrivateSoundServer::catchUpSink()
{
    for (int i = 0; i < 20; ++i) {
        for (const char* suspend : {"1", "0"})
            if (QProcess::execute("pactl", {"suspend-sink", "metro_null", suspend}) != 0)
                return false;
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
