// The view's thumbnail: the upload saves one, and a JPEG that cannot be
// written must come back as a failure instead of ending the process. The
// rest of the user interface (commands, toolbars, dialogs, palettes) is
// driven by the framework, Create Setup and palette bridge tests.
#include <cstdio>

#include "tests/host/recorders.h"
#include "tests/support/scratch.h"

namespace hosttest {
namespace {

using namespace qrvn;

class UiTest : public HostTest {};

TEST_F(UiTest, ActiveViewSavesAJpegThumbnail) {
    EXPECT_FALSE(app()->activeView()) << "no document, no view";
    sim::newDocument("A");
    auto view = app()->activeView();
    ASSERT_TRUE(view);
    const std::string path = tempPath(".jpg");
    ASSERT_TRUE(view->saveImage(path, 80, 60));
    EXPECT_EQ(testing_support::readWholeFile(path).substr(0, 3), "\xFF\xD8\xFF");
    std::remove(path.c_str());
    EXPECT_FALSE(view->saveImage("/nonexistent-dir/t.jpg", 80, 60));
}

}  // namespace
}  // namespace hosttest
