#include "CliHarness.h"
#include "TaggedSources.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace tunevale::test
{
namespace
{

using Lines = std::vector<std::string>;

std::string line(const std::string& status, const std::filesystem::path& source, const std::string& detail)
{
    return status + "\t" + source.string() + "\t" + detail;
}

class ConvertRunTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        cli.store("optOtherFolder", "True");
        cli.store("txtOutPath", cli.out().string());
        cli.store("optFileFormat", "0");
    }

    CliHarness cli;
};

TEST_F(ConvertRunTest, RealEncodersWriteWhatTheOptionsAsk)
{
    const auto source = makeTone(cli.in("tone.flac"), 2.0, 44100, 2, {"-c:a", "flac"});
    const auto mp3 = cli.run({"convert", "-f", "mp3", "--bitrate", "192", "--resample", "32", "--stereo", "mono",
                              "--encoder-quality", "9", source.string()});
    ASSERT_EQ(mp3.exitCode, 0) << mp3.out << mp3.err;
    EXPECT_EQ(mp3.out, line("Complete", source, (cli.out() / "tone.mp3").string()) + "\n");
    EXPECT_EQ(ffprobe(cli.out() / "tone.mp3", "stream=codec_name"), "mp3");
    EXPECT_EQ(ffprobe(cli.out() / "tone.mp3", "stream=sample_rate"), "32000");
    EXPECT_EQ(ffprobe(cli.out() / "tone.mp3", "stream=channels"), "1");
    EXPECT_EQ(ffprobe(cli.out() / "tone.mp3", "stream=bit_rate"), "192000");

    const auto ogg = cli.run({"convert", "-f", "ogg", "--ogg-quality", "6", "--bitrate", "160", source.string()});
    ASSERT_EQ(ogg.exitCode, 0) << ogg.out << ogg.err;
    EXPECT_EQ(ffprobe(cli.out() / "tone.ogg", "stream=codec_name"), "vorbis");

    const auto ipod = cli.run({"convert", "-f", "ipod", "--stereo", "mono", source.string()});
    ASSERT_EQ(ipod.exitCode, 0) << ipod.out << ipod.err;
    // The second MP3 output of the same source takes the next free name.
    const auto ipodFile = cli.out() / "tone_Converted.mp3";
    EXPECT_EQ(ipod.out, line("Complete", source, ipodFile.string()) + "\n");
    EXPECT_EQ(ffprobe(ipodFile, "stream=channels"), "2");
    EXPECT_EQ(ffprobe(ipodFile, "stream=sample_rate"), "44100");

    const auto wav = cli.run({"convert", "-f", "wav", source.string()});
    ASSERT_EQ(wav.exitCode, 0) << wav.out << wav.err;
    EXPECT_EQ(ffprobe(cli.out() / "tone.wav", "stream=codec_name"), "pcm_s16le");

    const auto wma = cli.run({"convert", "-f", "wma", "--wma-quality", "100", source.string()});
    ASSERT_EQ(wma.exitCode, 0) << wma.out << wma.err;
    EXPECT_EQ(ffprobe(cli.out() / "tone.wma", "stream=codec_name"), "wmav2");
}

TEST_F(ConvertRunTest, FoldersGiveTheirFilesInListingOrderAndRecursiveDepthFirst)
{
    makeTone(cli.in("b.wav"), 0.3);
    makeTone(cli.in("A.wav"), 0.3);
    writeFile(cli.in("cover.jpg"), "x");
    std::filesystem::create_directories(cli.in("sub/inner"));
    std::filesystem::create_directories(cli.in("Second"));
    makeTone(cli.in("sub/c.wav"), 0.3);
    makeTone(cli.in("sub/inner/d.wav"), 0.3);
    makeTone(cli.in("Second/e.wav"), 0.3);
    // A link back to the top folder is not followed round again.
    std::filesystem::create_directory_symlink(cli.in(""), cli.in("sub/loop"));

    const auto flat = cli.run({"convert", cli.in("").string()});
    EXPECT_EQ(flat.exitCode, 0) << flat.out << flat.err;
    EXPECT_EQ(lines(flat.out), (Lines{line("Complete", cli.in("A.wav"), (cli.out() / "A.wav").string()),
                                      line("Complete", cli.in("b.wav"), (cli.out() / "b.wav").string())}));

    const auto probe = cli.run({"probe", "-r", cli.in("").string()});
    EXPECT_EQ(probe.exitCode, 0) << probe.out << probe.err;
    Lines paths;
    for (const auto& text : lines(probe.out))
        paths.push_back(text.substr(0, text.find('\t')));
    EXPECT_EQ(paths, (Lines{cli.in("A.wav").string(), cli.in("b.wav").string(), cli.in("Second/e.wav").string(),
                            cli.in("sub/c.wav").string(), cli.in("sub/inner/d.wav").string()}));

    const auto recursive = cli.run({"convert", "-r", "-o", (cli.dir() / "all").string(), cli.in("").string()});
    EXPECT_EQ(recursive.exitCode, 0) << recursive.out << recursive.err;
    EXPECT_EQ(lines(recursive.out).size(), 5u) << recursive.out;
    EXPECT_TRUE(std::filesystem::exists(cli.dir() / "all" / "d.wav"));
}

TEST_F(ConvertRunTest, DoubleDashLetsANameBeginWithADash)
{
    makeTone(cli.in("-x.wav"), 0.3);
    const auto asOption = cli.run({"convert", "-x.wav"}, cli.in(""));
    EXPECT_EQ(asOption.exitCode, 2) << asOption.out << asOption.err;
    const auto asName = cli.run({"convert", "--", "-x.wav"}, cli.in(""));
    EXPECT_EQ(asName.exitCode, 0) << asName.out << asName.err;
    EXPECT_EQ(asName.out, line("Complete", cli.in("-x.wav"), (cli.out() / "-x.wav").string()) + "\n");
}

TEST_F(ConvertRunTest, ExitStatusTellsWhetherEveryJobCompleted)
{
    const auto good = makeTone(cli.in("good.wav"), 0.3);
    const auto undecodable = cli.in("noise.mp3");
    writeFile(undecodable, std::string(3000, 'x'));
    const auto unsupported = cli.in("notes.txt");
    writeFile(unsupported, "x");

    const auto refused = cli.run({"convert", good.string(), undecodable.string(), unsupported.string(),
                                  cli.in("gone.wav").string(), good.string()});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_EQ(lines(refused.out),
              (Lines{line("Refused", undecodable, "Codec Not Supported"),
                     line("Refused", unsupported, "not a file type the list takes"),
                     line("Refused", cli.in("gone.wav"), "no such file"), line("Refused", good, "already listed"),
                     line("Complete", good, (cli.out() / "good.wav").string())}));

    // An output folder two levels down cannot be made: the job is left waiting.
    const auto waiting = cli.run({"convert", "-o", (cli.dir() / "no" / "such").string(), good.string()});
    EXPECT_EQ(waiting.exitCode, 1);
    EXPECT_EQ(waiting.out, line("Waiting", good, "the output folder could not be created") + "\n");

    cli.hideEncoders();
    const auto failed = cli.run({"convert", "-f", "mp3", good.string()});
    EXPECT_EQ(failed.exitCode, 1);
    EXPECT_EQ(failed.out.rfind("Error\t" + good.string() + "\tThe encoder could not be started: lame not found", 0), 0u)
        << failed.out;

    std::filesystem::create_directory(cli.in("empty"));
    const auto nothing = cli.run({"convert", cli.in("empty").string()});
    EXPECT_EQ(nothing.exitCode, 1);
    EXPECT_EQ(nothing.out, "");
    EXPECT_NE(nothing.err.find("nothing to convert"), std::string::npos);
}

TEST_F(ConvertRunTest, QuietPrintsOnlyFailures)
{
    const auto good = makeTone(cli.in("good.wav"), 0.3);
    const auto result = cli.run({"convert", "-q", good.string(), cli.in("gone.wav").string()});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.out, line("Refused", cli.in("gone.wav"), "no such file") + "\n");
    EXPECT_TRUE(std::filesystem::exists(cli.out() / "good.wav"));

    const auto allGood = cli.run({"convert", "--quiet", "-o", (cli.dir() / "again").string(), good.string()});
    EXPECT_EQ(allGood.exitCode, 0);
    EXPECT_EQ(allGood.out, "");
}

TEST_F(ConvertRunTest, JsonLinesReadBackWithAnyFileName)
{
    const auto odd = makeTone(cli.in("say \"hi\"\\ \x01 \xc3\xa9t\xc3\xa9.wav"), 0.3);
    const auto result = cli.run({"convert", "--json", odd.string(), cli.in("gone.wav").string()});
    EXPECT_EQ(result.exitCode, 1) << result.err;
    const auto file = cli.dir() / "events.json";
    writeFile(file, result.out);

    // An independent JSON reader gives each event's fields back, NUL-separated, one event per line.
    const auto read = runProgram({"python3", "-c",
                                  "import json, sys\n"
                                  "for text in open(sys.argv[1], encoding='utf-8'):\n"
                                  "    e = json.loads(text)\n"
                                  "    fields = [e['status'], e['source'], e['output'], e['error'], "
                                  "type(e['seconds']).__name__]\n"
                                  "    sys.stdout.buffer.write(('\\0'.join(fields) + '\\n').encode())\n",
                                  file.string()});
    ASSERT_EQ(read.exitCode, 0) << read.output << result.out;
    const auto event = [](Lines fields) {
        std::string text;
        for (const auto& field : fields)
            text += (text.empty() ? "" : std::string(1, '\0')) + field;
        return text + "\n";
    };
    EXPECT_EQ(read.output, event({"refused", cli.in("gone.wav").string(), "", "no such file", "int"}) +
                               event({"complete", odd.string(), (cli.out() / odd.filename()).string(), "", "float"}))
        << result.out;
}

TEST_F(ConvertRunTest, AJobCompletedWithoutSomeTagsSaysSoInItsLineAndInJson)
{
    SourceTags tags = unicodeTags();
    tags.title = std::string(40'000, 't'); // too long for a WMA text field
    const auto source = makeTaggedSource(cli.in("long.flac"), tags, {}, {"-c:a", "flac"});
    const std::string warning = "tags left out: Title (80000 bytes, more than the 65533 a WMA text field holds)";
    const auto plain = cli.run({"convert", "-f", "wma", source.string()});
    EXPECT_EQ(plain.exitCode, 0) << plain.err;
    EXPECT_EQ(plain.out, line("Complete", source, (cli.out() / "long.wma").string()) + "\twarning: " + warning + "\n");

    const auto json = cli.run({"convert", "-f", "wma", "--json", source.string()});
    EXPECT_EQ(json.exitCode, 0) << json.err;
    writeFile(cli.dir() / "events.json", json.out);
    const auto read = runProgram({"python3", "-c",
                                  "import json, sys\n"
                                  "e = json.loads(open(sys.argv[1], encoding='utf-8').read())\n"
                                  "print(e['status'], e['warning'], sep='|')\n",
                                  (cli.dir() / "events.json").string()});
    EXPECT_EQ(read.output, "complete|" + warning + "\n") << json.out;
}

TEST_F(ConvertRunTest, PlainLinesOnAPipeAndAStatusLineOnATerminal)
{
    const auto a = makeTone(cli.in("a.wav"), 1.0);
    const auto b = makeTone(cli.in("b.wav"), 1.0);
    const auto piped = cli.run({"convert", a.string(), b.string()});
    EXPECT_EQ(piped.exitCode, 0);
    EXPECT_EQ(piped.out, line("Complete", a, (cli.out() / "a.wav").string()) + "\n" +
                             line("Complete", b, (cli.out() / "b.wav").string()) + "\n");

    const auto shown = cli.runOnTerminal({"convert", "-o", (cli.dir() / "tty").string(), a.string(), b.string()});
    EXPECT_EQ(shown.exitCode, 0) << shown.out;
    const std::string clear = "\r\x1b[K";
    // The status line is drawn, cleared before each job line, and cleared at the end.
    EXPECT_NE(shown.out.find(clear + "0/2 done"), std::string::npos) << shown.out;
    EXPECT_NE(shown.out.find(clear + "1/2 done"), std::string::npos) << shown.out;
    EXPECT_NE(shown.out.find("elapsed"), std::string::npos) << shown.out;
    EXPECT_NE(shown.out.find(clear + line("Complete", a, (cli.dir() / "tty" / "a.wav").string()) + "\r\n"),
              std::string::npos)
        << shown.out;
    EXPECT_NE(shown.out.find(clear + line("Complete", b, (cli.dir() / "tty" / "b.wav").string()) + "\r\n"),
              std::string::npos)
        << shown.out;
    EXPECT_EQ(shown.out.substr(shown.out.size() - clear.size()), clear) << shown.out;

    // Quiet and JSON output stay plain on a terminal.
    const auto json = cli.runOnTerminal({"convert", "--json", "-o", (cli.dir() / "json").string(), a.string()});
    EXPECT_EQ(json.out.find('\x1b'), std::string::npos) << json.out;
}

} // namespace
} // namespace tunevale::test
