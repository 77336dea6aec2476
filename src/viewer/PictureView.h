// The image control: draws its picture scaled to its own bounds with
// nearest-neighbour sampling. Its bounds may exceed its parent or lie partly
// outside it; the parent clips it.
#pragma once

#include "imaging/Bitmap.h"
#include "viewer/core/StretchSampler.h"
#include "viewer/core/ZoomArithmetic.h"

#include <QWidget>

#include <cstdint>
#include <vector>

namespace tavo {

class PictureView : public QWidget {
    Q_OBJECT
public:
    explicit PictureView(QWidget* parent = nullptr);

    // The display picture. It changes only through setPicture.
    const Bitmap& picture() const { return picture_; }
    void setPicture(const Bitmap& picture);
    void clearPicture() { setPicture(Bitmap()); }

    ImageBounds bounds() const;
    void setBounds(const ImageBounds& bounds);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Bitmap picture_;
    StretchSampler sampler_;
    // One band of the exposed part as sampled, kept between paints to spare the allocation.
    std::vector<std::uint32_t> buffer_;
};

} // namespace tavo
