#include "GIFProps.h"

#include <utility>

#include "ImageCodecs.h"

namespace vantorel {

TGIFPropsForm::TGIFPropsForm(std::string programFolder, TOptionsForm &options, QWidget *parent)
    : TPicturePropsForm({.formName = "GIFPropsForm",
                         .caption = "GIF Picture Properties",
                         .barName = "GIFBitDepthTrackBar",
                         .valueName = "GIFBitDepthLabel",
                         .imageName = "GIFImage",
                         .checkBoxName = "ShowGIFDialogCheckBox",
                         .settingText = "Bits Per Pixel:",
                         .valueFormat = "%1 bits",
                         .minimum = 3,
                         .maximum = 8,
                         .step = 1,
                         .initial = 8,
                         .value = &TOptionValues::gifbitdepth,
                         .show = &TOptionValues::showgifdialog,
                         .write = [](const TBitmap &bitmap, const std::string &fileName, int bits) {
                             WriteGIF(bitmap, fileName, bits);
                         }},
                        std::move(programFolder), options, parent),
      GIFBitDepthTrackBar(FSettingBar), GIFBitDepthLabel(FValueLabel), GIFImage(FImage),
      ShowGIFDialogCheckBox(FShowCheckBox)
{
}

} // namespace vantorel
