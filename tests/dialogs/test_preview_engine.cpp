// One marked frame of a test video turned by the settings dialog's preview and by a real
// conversion with the settings the dialog stored: both must show the same picture.

#include "common/MsgBox.h"
#include "decoder/FFDecoder.h"
#include "dialogs/SettingFrm.h"
#include "engine/Video2Gif.h"
#include "project/VGProject.h"
#include "tests/dialogs/DialogTestUtils.h"
#include "tests/fixtures/generator/FramePattern.h"
#include "tests/support/GifDecode.h"
#include "widgets/NumberEdit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QTemporaryDir>
#include <functional>

namespace {

const QString Video = QStringLiteral(VG_FIXTURE_DIR "/mpeg4-352x288-24fps.avi");
constexpr int MarkedIndex = 37; // bits 100101: no turn or mirror maps its cells onto themselves

// Dark or light at the centre of each cell of the 6 x 4 pattern, in the picture's own
// orientation (cells counted across the picture as it lies).
std::vector<bool> CellShades(const QImage& image, int columns, int rows) {
    std::vector<bool> light;
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < columns; ++c) {
            const QColor color = image.pixelColor((2 * c + 1) * image.width() / (2 * columns),
                                                  (2 * r + 1) * image.height() / (2 * rows));
            light.push_back(color.lightness() > 128);
        }
    return light;
}

class PreviewEngineTest : public DialogTest {
protected:
    // The frame of the test video that carries MarkedIndex, and its time.
    void FindMarkedFrame() {
        ASSERT_TRUE(Decoder.LoadFile(Video)) << Video.toStdString();
        Decoder.SetBitmapBitsPixel(32);
        for (int i = 0; i <= MarkedIndex + 5; ++i) {
            ASSERT_TRUE(Decoder.Decode(1));
            ASSERT_TRUE(Decoder.CopyToBitmap(Frame));
            if (fixture::ReadIndexPattern(Frame) == MarkedIndex) {
                Pts = Decoder.CurrentPTS();
                return;
            }
        }
        FAIL() << "no frame carries the index";
    }
    TFFDecoder Decoder;
    QImage Frame;
    int64_t Pts = 0;
};

} // namespace

TEST_F(PreviewEngineTest, PreviewTurnsLikeTheConversion) {
    FindMarkedFrame();
    ASSERT_FALSE(Frame.isNull());
    struct TTurn {
        int Rotate;
        bool FlipH, FlipV;
    };
    QTemporaryDir dir;
    for (const TTurn& turn : {TTurn{1, true, false}, TTurn{3, false, true}, TTurn{2, true, true},
                              TTurn{0, true, false}, TTurn{1, false, false}}) {
        SCOPED_TRACE(testing::Message()
                     << "rotate " << turn.Rotate << " h " << turn.FlipH << " v " << turn.FlipV);
        TVGProj project;
        project.VideoWidth = Frame.width();
        project.VideoHeight = Frame.height();
        project.CropRect = {0, 0, Frame.width(), Frame.height()};
        TSettingForm form;
        form.SetProject(&project);
        form.PreparePreviewSource(Frame);
        form.LoadFromProject();
        form.cbRotate->setCurrentIndex(turn.Rotate);
        if (turn.FlipH)
            form.cbxFlipH->click();
        if (turn.FlipV)
            form.cbxFlipV->click();
        const QImage preview = form.PreviewResult();
        form.btnOkMeClick(); // the dialog stores the turn into the project

        TConversionRequest request;
        request.VideoFile = Video;
        request.GifFile = dir.filePath(QStringLiteral("turned.gif"));
        request.StartPTS = Pts;
        request.EndPTS = Pts + 20000; // within the frame: one sample
        request.SizeScale = 1.0;
        request.GifFPS = 10;
        request.Flip = project.Flip;
        request.Rotate = project.Rotate;
        std::atomic<bool> cancel{false};
        const TConversionResult result = RunConversion(request, {}, cancel);
        ASSERT_TRUE(result.Ok) << result.Error.toStdString();
        const TDecodedGif gif = DecodeGifFile(request.GifFile);
        ASSERT_TRUE(gif.Ok) << gif.Error.toStdString();
        ASSERT_FALSE(gif.Composed.empty());
        const QImage converted = gif.Composed.front();
        ASSERT_EQ(converted.size(), preview.size());

        const bool quarter = turn.Rotate % 2 == 1;
        const int columns = quarter ? 4 : 6, rows = quarter ? 6 : 4;
        const std::vector<bool> shown = CellShades(preview, columns, rows);
        EXPECT_EQ(CellShades(converted, columns, rows), shown);
        // The comparison tells turns apart: the picture mirrored the other way differs.
        const QImage otherWay = preview.mirrored(true, false);
        EXPECT_NE(CellShades(otherWay, columns, rows), shown);
    }
}

TEST_F(PreviewEngineTest, ZerosTypedInTheDialogNeverReachTheConversion) {
    // The dialog refuses them (with a message) and keeps the project's values, which convert.
    struct TZero {
        const char* What;
        std::function<void(TSettingForm&)> Type;
    };
    const TZero zeros[] = {
        {"frame rate 0", [](TSettingForm& f) { f.cbFrameRate->setEditText(QStringLiteral("0")); }},
        {"speed 0", [](TSettingForm& f) { f.cbSpeed->setEditText(QStringLiteral("0%")); }},
        {"custom size 0", [](TSettingForm& f) {
             f.cbSize->setCurrentIndex(3);
             f.edtW->setText(QStringLiteral("0"));
         }}};
    QTemporaryDir dir;
    for (const TZero& zero : zeros) {
        SCOPED_TRACE(zero.What);
        TVGProj project;
        project.VideoWidth = 352;
        project.VideoHeight = 288;
        TSettingForm form;
        form.SetProject(&project);
        form.LoadFromProject();
        zero.Type(form);
        int boxes = 0;
        const TMsgBoxHandler old = SetMsgBoxHandler([&boxes](const TMsgBoxRequest&) {
            ++boxes;
            return int(mrOK);
        });
        form.btnOkMeClick();
        SetMsgBoxHandler(old);
        EXPECT_EQ(boxes, 1);
        TConversionRequest request;
        request.VideoFile = Video;
        request.GifFile = dir.filePath(QStringLiteral("zero.gif"));
        request.StartPTS = 0;
        request.EndPTS = 1000000;
        request.SizeScale = project.SizeScale();
        request.CustomWidth = project.CustomWidth;
        request.CustomHeight = project.CustomHeight;
        request.GifFPS = project.GifFPS;
        request.GifSpeed = project.GifSpeed;
        std::atomic<bool> cancel{false};
        const TConversionResult result = RunConversion(request, {}, cancel);
        EXPECT_TRUE(result.Ok) << result.Error.toStdString();
        EXPECT_EQ(project.GifFPS, 8);
        EXPECT_DOUBLE_EQ(project.GifSpeed, 1.0);
        EXPECT_EQ(project.CustomWidth, 0);
    }
}
