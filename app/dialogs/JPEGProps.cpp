#include "JPEGProps.h"

#include <utility>

#include "ImageCodecs.h"

namespace vantorel {

TJPEGPropsForm::TJPEGPropsForm(std::string programFolder, TOptionsForm &options, QWidget *parent)
    : TPicturePropsForm({.formName = "JPEGPropsForm",
                         .caption = "JPEG Picture Properties",
                         .barName = "JPEGQualityTrackBar",
                         .valueName = "JPEGQualityLabel",
                         .imageName = "JPEGImage",
                         .checkBoxName = "ShowJPEGDialogCheckBox",
                         .settingText = "JPEG Quality:",
                         .valueFormat = "%1%",
                         .minimum = 10,
                         .maximum = 100,
                         .step = 10,
                         .initial = 90,
                         .value = &TOptionValues::jpegquality,
                         .show = &TOptionValues::showjpegdialog,
                         .write = [](const TBitmap &bitmap, const std::string &fileName, int quality) {
                             WriteJPEG(bitmap, fileName, quality);
                         }},
                        std::move(programFolder), options, parent),
      JPEGQualityTrackBar(FSettingBar), JPEGQualityLabel(FValueLabel), JPEGImage(FImage),
      ShowJPEGDialogCheckBox(FShowCheckBox)
{
}

} // namespace vantorel
