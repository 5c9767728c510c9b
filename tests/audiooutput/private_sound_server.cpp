#include "private_sound_server.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>

#include <sys/prctl.h>

#include <csignal>
#include <cstring>

namespace tavro::audio::testing {

namespace {
const QString kScript = QStringLiteral(TAVRO_PRIVATE_SOUND_SERVER_SCRIPT);
const QString kGraphRecord = QStringLiteral(TAVRO_GRAPH_RECORD);

const char* scriptName(PrivateSoundServer::Kind kind)
{
    switch (kind) {
    case PrivateSoundServer::Kind::PipeWire: return "pipewire";
    case PrivateSoundServer::Kind::PipeWireWithoutSinks: return "pipewire-nosink";
    case PrivateSoundServer::Kind::PulseAudio: break;
    }
    return "pulseaudio";
}
}  // namespace

PrivateSoundServer::PrivateSoundServer(Kind kind)
    : kind_(kind),
      dir_(QDir::tempPath() + "/tavro-audio-XXXXXX")
{
    for (const char* sub : {"XDG_RUNTIME_DIR", "HOME", "XDG_CONFIG_HOME"}) {
        QDir(dir_.path()).mkdir(sub);
        qputenv(sub, dir_.filePath(sub).toLocal8Bit());
    }
    if (kind != Kind::PipeWireWithoutSinks)
        qputenv("PULSE_SERVER", harness("address"));
    // PipeWire's socket is looked for here; for PulseAudio nothing is there.
    qputenv("PIPEWIRE_RUNTIME_DIR", kind == Kind::PulseAudio
                                        ? dir_.filePath("XDG_RUNTIME_DIR").toLocal8Bit()
                                        : dir_.path().toLocal8Bit());
    qunsetenv("PIPEWIRE_REMOTE");
}

// The server named here, whatever the caller's environment names.
QProcessEnvironment PrivateSoundServer::environment() const
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("TAVRO_SOUND_SERVER", scriptName(kind_));
    return environment;
}

bool PrivateSoundServer::installed(Kind kind)
{
    QProcess script;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("TAVRO_SOUND_SERVER", scriptName(kind));
    script.setProcessEnvironment(environment);
    script.start("bash", {kScript, "programs"});
    if (!script.waitForFinished(10000) || script.exitCode() != 0)
        return false;
    for (const QByteArray& program : script.readAllStandardOutput().trimmed().split(' '))
        if (QStandardPaths::findExecutable(QString::fromUtf8(program)).isEmpty())
            return false;
    return kind == Kind::PulseAudio || QFile::exists(kGraphRecord);
}

// Runs a program to its end while the test's own events go on (a window's beats, say),
// in an event loop that, unlike QTest::qWaitFor, does not sleep between its rounds: its
// output, or nothing when it failed.
std::optional<QByteArray> PrivateSoundServer::run(const QString& program,
                                                  const QStringList& arguments)
{
    QProcess process;
    process.setStandardErrorFile(QProcess::nullDevice());
    QEventLoop loop;
    QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
    QObject::connect(&process, &QProcess::errorOccurred, &loop, &QEventLoop::quit);
    QTimer::singleShot(30000, &loop, &QEventLoop::quit);
    process.setProcessEnvironment(environment());
    process.start(program, arguments);
    if (process.state() != QProcess::NotRunning)
        loop.exec();
    if (process.state() != QProcess::NotRunning || process.exitStatus() != QProcess::NormalExit
        || process.exitCode() != 0)
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
    process->setProcessEnvironment(environment());
    process->start(program, arguments);
    return process->waitForStarted(5000) ? std::move(process) : nullptr;
}

bool PrivateSoundServer::start()
{
    server_ = spawn("bash", {kScript, "run", dir_.path()}, "server.log", false);
    if (!server_ || harness("wait").isEmpty())
        return false;
    if (kind_ == Kind::PipeWireWithoutSinks)
        return true;
    if (kind_ == Kind::PipeWire)
        return startRecording();
    return startRecording() && catchUpSink();
}

bool PrivateSoundServer::startRecording(const QString& sink)
{
    if (!recorder_ && kind_ == Kind::PipeWire) {
        // Recording once its stream is linked to the sink's monitor (PipeWire's null sink
        // plays in real time: nothing to catch up).
        recorder_ = spawn(kGraphRecord,
                          {"--target", sink, "--seconds", "300", dir_.filePath("recording.wav")},
                          "graph-record.log", false);
        return recorder_ && QTest::qWaitFor([&] {
                   return run("env", {"LC_ALL=C", "pactl", "list", "source-outputs"})
                       .value_or(QByteArray())
                       .contains("graph-record");
               }, 10000)
               && (QTest::qWait(300), true);
    }
    if (!recorder_)
        recorder_ = spawn("pacat",
                          {"--record", "--raw", "-d", sink + ".monitor", "--rate=48000",
                           "--channels=1", "--format=s16le", "--latency-msec=10"},
                          "pacat.log", true);
    return recorder_ != nullptr;
}

PrivateSoundServer::~PrivateSoundServer() { kill(); }

void PrivateSoundServer::kill()
{
    recorder_.reset();
    if (!server_)
        return;
    // PipeWire's processes end with the shell they run under, which must live to end them.
    if (kind_ == Kind::PulseAudio)
        server_->kill();
    else
        server_->terminate();
    server_->waitForFinished(5000);
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

std::optional<QByteArray> PrivateSoundServer::pactl(const QStringList& arguments)
{
    // Its listings are read by their English headings.
    return run("env", QStringList{"LC_ALL=C", "pactl"} + arguments);
}

// Read from pactl's long listing: "Sink Input #3", then "Sink: 1" among its fields and
// `key = "value"` lines among its properties.
std::vector<PrivateSoundServer::Stream> PrivateSoundServer::streamsOfThisProcess()
{
    const std::optional<QByteArray> sinks = pactl({"list", "short", "sinks"});
    const std::optional<QByteArray> inputs = pactl({"list", "sink-inputs"});
    if (!sinks || !inputs)
        return {};
    std::map<QString, QString> sinkNames;  // by index
    for (const QByteArray& line : sinks->split('\n')) {
        const QList<QByteArray> fields = line.split('\t');
        if (fields.size() > 1)
            sinkNames[QString::fromUtf8(fields[0])] = QString::fromUtf8(fields[1]);
    }
    static const QRegularExpression heading(QStringLiteral("^Sink Input #(\\d+)$"));
    static const QRegularExpression sinkField(QStringLiteral("^\\s*Sink: (\\d+)$"));
    static const QRegularExpression property(QStringLiteral("^\\s*([\\w.-]+) = \"(.*)\"$"));
    std::vector<Stream> streams;
    for (const QByteArray& bytes : inputs->split('\n')) {
        const QString line = QString::fromUtf8(bytes);
        if (const auto match = heading.match(line); match.hasMatch())
            streams.push_back({match.captured(1), {}, {}});
        else if (const auto sink = sinkField.match(line); sink.hasMatch() && !streams.empty())
            streams.back().sink = sinkNames[sink.captured(1)];
        else if (const auto entry = property.match(line); entry.hasMatch() && !streams.empty())
            streams.back().properties[entry.captured(1)] = entry.captured(2);
    }
    const QString pid = QString::number(QCoreApplication::applicationPid());
    std::erase_if(streams,
                  [&](Stream& s) { return s.properties["application.process.id"] != pid; });
    return streams;
}

std::unique_ptr<PacedPipeReader> PrivateSoundServer::addPipeSink(const QString& name, int pipeBytes)
{
    const QString fifo = dir_.filePath(name + ".fifo");
    if (!pactl({"load-module", "module-pipe-sink", "sink_name=" + name, "file=" + fifo,
                "format=s16le", "rate=48000", "channels=1"}))
        return nullptr;
    auto reader = std::make_unique<PacedPipeReader>(fifo, pipeBytes);
    return reader->start() ? std::move(reader) : nullptr;
}

QByteArray PrivateSoundServer::stopRecording()
{
    if (!recorder_)
        return {};
    recorder_->terminate();
    recorder_->waitForFinished(5000);
    if (kind_ != Kind::PipeWire) {
        QByteArray samples = recorder_->readAllStandardOutput();
        recorder_.reset();
        return samples;
    }
    recorder_.reset();
    QFile wav(dir_.filePath("recording.wav"));
    constexpr int kHeaderBytes = 44;  // graph-record writes the plain header
    return wav.open(QIODevice::ReadOnly) ? wav.readAll().mid(kHeaderBytes) : QByteArray();
}

std::optional<PacedPipeReader::Heard> PrivateSoundServer::stopRecordingWithTimes()
{
    const QByteArray samples = stopRecording();
    QFile log(dir_.filePath("graph-record.log"));
    if (kind_ != Kind::PipeWire || !log.open(QIODevice::ReadOnly))
        return std::nullopt;
    static const QRegularExpression played(QStringLiteral("sample 0 played at (\\d+) ns"));
    QRegularExpressionMatch last;
    for (auto it = played.globalMatch(QString::fromUtf8(log.readAll())); it.hasNext();)
        last = it.next();
    if (!last.hasMatch() || last.captured(1).toLongLong() == 0)
        return std::nullopt;
    PacedPipeReader::Heard heard;
    heard.firstAt = std::chrono::steady_clock::time_point(
        std::chrono::nanoseconds(last.captured(1).toLongLong()));
    heard.samples.resize(static_cast<std::size_t>(samples.size()) / sizeof(std::int16_t));
    std::memcpy(heard.samples.data(), samples.constData(),
                heard.samples.size() * sizeof(std::int16_t));
    return heard;
}

}  // namespace tavro::audio::testing
