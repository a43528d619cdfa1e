// The picture frame of a wizard dialog (control 1007): a black frame under the picture.
#pragma once

#include <QWidget>
#include <string>

#include "platform/machine.h"

namespace pelmo {

// Every paint reloads the picture from disk; without a picture only the frame shows.
class PictureFrame : public QWidget {
    Q_OBJECT
public:
    explicit PictureFrame(QWidget* parent = nullptr);

    // `path` is SourceFolder followed directly by the picture's name.
    void SetPicture(const Machine& machine, std::string path);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const Machine* machine_ = nullptr;
    std::string path_;
};

}  // namespace pelmo
