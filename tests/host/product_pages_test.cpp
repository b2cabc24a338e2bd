#include <gtest/gtest.h>

#include <string>

#include "host/product_pages.h"

namespace {

TEST(ProductPages, LocalManualReplacesTheLibraryFileName) {
    EXPECT_EQ(localManualPath("C:\\Program Files\\Winamp\\Plugins\\dsp_MORV.dll"),
              "C:\\Program Files\\Winamp\\Plugins\\MORVStudio/help.html");
    EXPECT_EQ(localManualPath("dsp_MORV.dll"), "") << "no backslash";
    EXPECT_EQ(localManualPath("C:\\Plugins\\"), "") << "nothing after the backslash";
    EXPECT_EQ(localManualPath("C:\\Plugins\\d"), "") << "one character after it";
    EXPECT_EQ(localManualPath("C:\\Plugins\\dl"), "C:\\Plugins\\MORVStudio/help.html");
}

TEST(ProductPages, ManualPathMustFitItsRoom) {
    const std::string name = kLocalManualName;
    // A folder whose manual path, terminator included, just fits.
    const std::string fits(kManualPathRoom - 1 - name.size() - 1, 'a');
    EXPECT_EQ(localManualPath(fits + "\\dsp_MORV.dll"), fits + "\\" + name);
    const std::string longer = fits + "b";
    EXPECT_EQ(localManualPath(longer + "\\dsp_MORV.dll"), "") << "goes to the online manual";
}

}  // namespace
