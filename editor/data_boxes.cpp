#include "editor/data_boxes.h"

#include <string>

#include "utils/message_box.h"
#include "utils/path_rules.h"

namespace {

const char kUnreadableBestFile[] =
    "ベストファイル（KORVEL.dat）を読み込めませんでした。\n"
    "ほかのプログラムが使用中か、ネットワークやクラウドのドライブにまだ接続できていない可能性があります。\n\n"
    "［再試行］もう一度読み込みます。\n"
    "［キャンセル］Tivorn を終了します。ベストと再生履歴はそのまま残ります。";

// Around the folder's name.
const char kUnreachableBefore[] = "フォルダ「";
const char kUnreachableAfter[] = "」にアクセスできませんでした。\n"
                                 "ドライブやネットワークにまだ接続できていないか、"
                                 "フォルダを読み取る権限がない可能性があります。\n\n"
                                 "［再試行］もう一度アクセスします。\n";
const char kGiveUpStart[] = "［キャンセル］Tivorn を終了します。ベストと再生履歴はそのまま残ります。";
const char kGiveUpMove[] = "［キャンセル］データフォルダを変更しません。";

const char kSaveFailedText[] =
    "ベストを保存できませんでした。\n"
    "ほかのプログラムがベストファイル（KORVEL.dat）を使用中か、ディスクがいっぱいか、"
    "ドライブやネットワークに接続できないか、書き込みできない場所の可能性があります。\n\n"
    "［再試行］もう一度保存します。\n";
const char kGiveUpEdit[] = "［キャンセル］保存せずに戻ります。変更点は残ります。";
const char kGiveUpDefault[] = "［キャンセル］Tivorn を終了します。";
const char kBestTooLarge[] =
    "このベストは大きすぎるため保存できません。\n"
    "ベストファイル（KORVEL.dat）は 1 GB までです。チェックするファイルやフォルダを減らしてください。";

}  // namespace

bool AskRetryUnreadableBestFile(HWND owner) {
    // Offered again and again: at logon a share or a cloud drive may need a
    // while, and giving up ends the program with every file as it was.
    return ShowMessage(owner, kUnreadableBestFile, MB_RETRYCANCEL | MB_ICONERROR | MB_SETFOREGROUND) == IDRETRY;
}

bool AskRetryUnreachableFolder(HWND owner, const char *folder, FolderWait wait) {
    std::string text = kUnreachableBefore + paths::ShownFolder(folder) + kUnreachableAfter;
    text += wait == FolderWait::Start ? kGiveUpStart : kGiveUpMove;
    return ShowMessage(owner, text.c_str(), MB_RETRYCANCEL | MB_ICONERROR | MB_SETFOREGROUND) == IDRETRY;
}

bool AskRetryFailedSave(HWND owner, SaveWait wait) {
    std::string text = kSaveFailedText;
    text += wait == SaveWait::Edit ? kGiveUpEdit : kGiveUpDefault;
    return ShowMessage(owner, text.c_str(), MB_RETRYCANCEL | MB_ICONERROR) == IDRETRY;
}

void TellBestTooLarge(HWND owner) { ShowMessage(owner, kBestTooLarge, MB_OK | MB_ICONERROR); }
