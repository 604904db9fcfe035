// The announcement at the end of the wallpaper command, against a local mascot: it must never disturb
// the user, and while it waits the window keeps handling events.
#include <filesystem>
#include <memory>

#include <QTimer>
#include <QToolButton>

#include "app/qt/ListView.h"
#include "app/qt/MaonFormUnit.h"
#include "image/BmpFile.h"
#include "platform/CodePage.h"
#include "sstp/FastSstp.h"
#include "tests/app/AppFixture.h"
#include "tests/sstp/SstpTestServer.h"

namespace vorlane::test {
namespace {

namespace fs = std::filesystem;

class AnnouncementTest : public AppTest {
protected:
    void SetUp() override
    {
        AppTest::SetUp();
        fs::create_directories(root_ / "pictures");
        picture_ = (root_ / "pictures" / "a.bmp").string();
        const std::vector<uint8_t> bytes = WriteBmp(Bitmap(8, 8, 24));
        WriteFile(picture_, bytes);
        form_ = std::make_unique<TMainForm>(dialogs_, desktop_);
        form_->show();
        dialogs_.files.push_back(std::vector<std::string>{picture_});
        form_->OpenImageButton->click();
        form_->ListView->Select(0);
    }
    void TearDown() override
    {
        form_.reset();
        AppTest::TearDown();
    }

    std::string picture_;
    std::unique_ptr<TMainForm> form_;
};

TEST_F(AnnouncementTest, NoMascotListeningShowsNothing)
{
    form_->FastSstp->SetPort(ClosedPort());
    form_->WallButton->click();
    EXPECT_EQ(desktop_.wallpapers, std::vector<std::string>{picture_});
    EXPECT_TRUE(errors_.empty());
    EXPECT_FALSE(form_->FastSstp->Busy());
}

TEST_F(AnnouncementTest, WallpaperTheDesktopDidNotTakeIsNotAnnounced)
{
    SstpTestServer mascot({{PeerBehaviour::ReplyAndClose, "SSTP/1.4 200 OK\r\n\r\n"},
                           {PeerBehaviour::ReplyAndClose, "SSTP/1.4 200 OK\r\n\r\n"}});
    form_->FastSstp->SetPort(mascot.Port());
    desktop_.applies = false;
    form_->WallButton->click();
    desktop_.applies = true;
    form_->WallButton->click(); // its exchange, and any earlier one, is over when the click returns
    EXPECT_EQ(desktop_.wallpapers.size(), 2u);
    EXPECT_EQ(mascot.Accepted(), 1u);
    EXPECT_TRUE(errors_.empty());
}

// A mascot as the real ones are: it answers a moment after the request, then keeps the connection
// open. The window handles events while it waits, the announcement ends at the reply with the
// mascot's status, and the next wallpaper set after it is announced too.
TEST_F(AnnouncementTest, WindowStaysResponsiveWhileAMascotKeepsTheConnectionOpen)
{
    SstpTestServer mascot({{PeerBehaviour::HoldReply, "SSTP/1.4 200 OK\r\n\r\n"},
                           {PeerBehaviour::ReplyAndStayOpen, "SSTP/1.4 200 OK\r\n\r\n"}});
    form_->FastSstp->SetPort(mascot.Port());

    // A second wallpaper set while the first announcement waits: the wallpaper changes, its own
    // announcement is refused because one is under way.
    bool handledDuringTheWait = false;
    QTimer::singleShot(0, [&] {
        handledDuringTheWait = form_->FastSstp->Busy();
        form_->WallButton->click();
        mascot.Release();
    });
    form_->WallButton->click();

    EXPECT_TRUE(handledDuringTheWait);
    EXPECT_EQ(form_->FastSstp->StatusCode(), 200);
    EXPECT_EQ(desktop_.wallpapers, (std::vector<std::string>{picture_, picture_}));
    EXPECT_TRUE(errors_.empty());

    form_->WallButton->click(); // right after the first announcement: announced as well
    EXPECT_EQ(form_->FastSstp->StatusCode(), 200);
    ASSERT_TRUE(mascot.WaitForConnections(2));
    EXPECT_EQ(mascot.Accepted(), 2u);

    const std::string script = "Script: " + *codepage::Utf8ToShiftJis("壁紙をa.bmpに設定しました") + "\r\n";
    for (const std::string& request : mascot.Requests()) {
        EXPECT_EQ(request.rfind("SEND SSTP/1.0\r\nSender: Vorlane\r\nCharSet: Shift_JIS\r\n", 0), 0u) << request;
        EXPECT_NE(request.find(script), std::string::npos) << request;
        EXPECT_NE(request.find("Option: nodescript\r\n"), std::string::npos) << request;
    }
}

} // namespace
} // namespace vorlane::test
