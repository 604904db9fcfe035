// The announcement at the end of the wallpaper command, against a local mascot: it must never disturb
// the user, and while it waits the window keeps handling events.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <memory>

#include <QTimer>
#include <QToolButton>

#include "app/ListView.h"
#include "app/MaonFormUnit.h"
#include "image/BmpFile.h"
#include "platform/CodePage.h"
#include "sstp/FastSstp.h"
#include "tests/app/AppFixture.h"
#include "tests/sstp/SstpTestServer.h"

namespace vorlane::test {
namespace {

namespace fs = std::filesystem;

// A loopback port on which nothing listens.
int32_t ClosedPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

class AnnouncementTest : public AppTest {
protected:
    void SetUp() override
    {
        AppTest::SetUp();
        fs::create_directories(root_ / "pictures");
        picture_ = (root_ / "pictures" / "a.bmp").string();
        const std::vector<uint8_t> bytes = WriteBmp(Bitmap(8, 8, 24));
        WriteFile(picture_, std::string(bytes.begin(), bytes.end()));
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

TEST_F(AnnouncementTest, WindowStaysResponsiveWhileAMascotKeepsTheConnectionOpen)
{
    SstpTestServer mascot({{PeerBehaviour::ReplyAndStayOpen, "SSTP/1.4 200 OK\r\n\r\n"},
                           {PeerBehaviour::ReplyAndClose, "SSTP/1.4 200 OK\r\n\r\n"}});
    form_->FastSstp->SetPort(mascot.Port());

    // A second wallpaper set while the first announcement waits: the wallpaper changes, its own
    // announcement is refused because one is under way.
    bool handledDuringTheWait = false;
    QTimer::singleShot(50, [&] {
        handledDuringTheWait = form_->FastSstp->Busy();
        form_->WallButton->click();
    });
    form_->WallButton->click();

    EXPECT_TRUE(handledDuringTheWait);
    EXPECT_EQ(desktop_.wallpapers, (std::vector<std::string>{picture_, picture_}));
    EXPECT_TRUE(errors_.empty());
    ASSERT_TRUE(mascot.WaitForConnections(1));
    EXPECT_EQ(mascot.Accepted(), 1u);

    const std::string script = "Script: " + *codepage::Utf8ToShiftJis("壁紙をa.bmpに設定しました") + "\r\n";
    const std::string request = mascot.Requests().at(0);
    EXPECT_EQ(request.rfind("SEND SSTP/1.0\r\nSender: Vorlane\r\nCharSet: Shift_JIS\r\n", 0), 0u) << request;
    EXPECT_NE(request.find(script), std::string::npos) << request;
    EXPECT_NE(request.find("Option: nodescript\r\n"), std::string::npos) << request;
}

} // namespace
} // namespace vorlane::test
