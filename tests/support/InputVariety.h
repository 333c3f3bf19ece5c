// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CompressionResultStatus.h"

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QString>

// One source file of a kind that cameras, phones, scanners and design tools write, and what
// must become of it. Made at run time: by libjpeg (progressive, arithmetic, CMYK, profiles, frame
// headers), by ImageMagick (every PNG colour type and depth, chunks, TIFF, GIF) and by heif-enc.
struct InputSample {
    QString fileName;
    QByteArray bytes;
    QByteArray format; // "jpeg" or "png" for rows with an output; the container otherwise
    // The picture it was made to show, upright and in sRGB, worked out from the scene it was
    // made of, never from the code under test; null for rows that end without an output.
    QImage intended;
    pressel::CompressionResultStatus status = pressel::CompressionResultStatus::success;
    QString message;                 // the reason of rows that end skipped or failed
    bool viewerCannotManage = false; // Qt cannot manage its colour: `intended` is the reference
    bool colourManaged = false;      // it carries colour information that a viewer must apply
    double tolerance = 2.5;          // mean difference of cell means allowed against the reference
};

// Every sample, its pictures `width` x `height`. Containers whose encoder is missing here are
// left out with a warning.
QList<InputSample> inputVariety(int width, int height);
