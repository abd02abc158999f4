#pragma once
// Helpers of the conversion window tests: a message box handler that records and answers, a
// project on a real clip, and finding the modal window a function under test opens.

#include "common/MsgBox.h"
#include "project/VGProject.h"

#include <QApplication>
#include <QStringList>
#include <QWidget>
#include <deque>
#include <memory>

// Installs itself as the message box handler for its life; answers from a queue (then the
// default button) and records every box.
class TBoxRecorder {
public:
    TBoxRecorder() {
        FOld = SetMsgBoxHandler([this](const TMsgBoxRequest& request) {
            Boxes.push_back(request);
            if (OnBox)
                OnBox(request);
            if (Answers.empty())
                return DefaultMsgBoxResult(request.Buttons, request.DefaultButton);
            const int answer = Answers.front();
            Answers.pop_front();
            return answer;
        });
    }
    ~TBoxRecorder() { SetMsgBoxHandler(FOld); }
    QStringList Texts() const {
        QStringList texts;
        for (const auto& box : Boxes)
            texts << box.Text;
        return texts;
    }
    std::vector<TMsgBoxRequest> Boxes;
    std::deque<int> Answers;
    std::function<void(const TMsgBoxRequest&)> OnBox;

private:
    TMsgBoxHandler FOld;
};

// A project on the first `seconds` of a 1280 × 720 clip, at a quarter of its size, writing its
// GIF to `gifFile`.
inline std::unique_ptr<TVGProj> ClipProject(const QString& gifFile, double seconds = 1.0,
                                            int maxFrames = 1000) {
    auto project = std::make_unique<TVGProj>([maxFrames] {
        TProjectDefaults defaults;
        defaults.GifFPS = 10;
        defaults.SizeStyle = ssQuarter;
        defaults.GifMaxFrame = maxFrames;
        return defaults;
    });
    project->VideoFile = QStringLiteral(VG_MEDIA_DIR "/bear-h264-1280x720.mp4");
    project->GifFile = gifFile;
    project->VideoWidth = 1280;
    project->VideoHeight = 720;
    project->CropRect = TRectL{0, 0, 1280, 720};
    project->StartPTS = 0;
    project->EndPTS = static_cast<int64_t>(seconds * 1'000'000);
    return project;
}

// The first visible top-level window of that class.
template <typename T> T* FindVisibleWindow() {
    const auto windows = QApplication::topLevelWidgets();
    for (QWidget* window : windows)
        if (auto* found = qobject_cast<T*>(window); found && found->isVisible())
            return found;
    return nullptr;
}
