#include "korvel/output/play_error_text.h"

#include <cstdio>

#include "utils/ansi_text.h"
#include "utils/path_rules.h"

namespace korvel {
namespace {

const char *FontProblemText(FontProblem problem) {
    switch (problem) {
    case FontProblem::Missing:
        return "ファイルが見つかりません。";
    case FontProblem::Unreadable:
        return "ファイルを読み取れません。ほかのアプリケーションが使用中か、アクセスが許可されていません。";
    case FontProblem::NotSoundFont:
        return "SoundFont 2 (.sf2) のファイルではありません。";
    case FontProblem::Compressed:
        return "圧縮された SoundFont (.sf3) には対応していません。.sf2 のファイルを選んでください。";
    case FontProblem::TooLarge:
        return "サンプルデータが大きすぎるため、メモリーに読み込めません。";
    default:
        return "ファイルが壊れています。";
    }
}

const char *OutputErrorText(OutputError error) {
    switch (error) {
    case OutputError::NoDevice:
        return "MIDI出力デバイスが見つからないため、再生できません。\n"
               "MIDI音源が接続され、使える状態になっているか確認してください。";
    case OutputError::DeviceBusy:
        return "MIDI出力デバイスがほかのアプリケーションで使用中のため、再生できません。\n"
               "そのアプリケーションを終了してから、もう一度再生してください。";
    case OutputError::BadSetting:
        return "MIDI出力先の設定が正しくないため、再生できません。\n"
               "レジストリの値 \"Output\" を確認してください。";
    case OutputError::LogUnwritable:
        return "再生記録のファイルに書き込めないため、再生できません。\n";
    case OutputError::NoAudioDevice:
        return "オーディオデバイスが見つからないため、内蔵シンセサイザーで再生できません。\n"
               "スピーカーやヘッドホンが接続され、使える状態になっているか確認してください。";
    case OutputError::AudioDeviceBusy:
        return "オーディオデバイスがほかのアプリケーションに占有されているため、内蔵シンセサイザーで再生できません。\n"
               "そのアプリケーションを終了してから、もう一度再生してください。";
    case OutputError::AudioDeviceFailed:
        return "オーディオデバイスを開けないため、内蔵シンセサイザーで再生できません。\n";
    default:
        return "MIDI出力デバイスを開けないため、再生できません。\n";
    }
}

}  // namespace

std::string FontNoticeText(const std::string &soundFontPath, FontProblem problem) {
    char path[paths::kPathBuffer];
    ansi::CopyFit(path, sizeof path, soundFontPath.c_str());
    char text[768];
    std::snprintf(text, sizeof text,
                  "SoundFont を読み込めませんでした。内蔵シンセサイザーの代わりにMIDIマッパーを使います。\n\n%s\n%s", path,
                  FontProblemText(problem));
    return text;
}

void FormatOutputError(char *text, size_t size, const std::string &fontNotice, OutputError error,
                       unsigned systemError, const std::string &logPath) {
    const char *reason = OutputErrorText(error);
    // The SoundFont that could not be used comes first: the mapper that
    // failed was only its stand-in.
    std::string font = fontNotice;
    if (!font.empty()) font += "\n\n";
    if (error == OutputError::LogUnwritable) {
        char path[paths::kPathBuffer];
        ansi::CopyFit(path, sizeof path, logPath.c_str());
        std::snprintf(text, size, "%s%s%s", font.c_str(), reason, path);
    } else if (error == OutputError::DeviceFailed) {
        std::snprintf(text, size, "%s%s(エラー番号 %u)", font.c_str(), reason, systemError);
    } else if (error == OutputError::AudioDeviceFailed) {
        std::snprintf(text, size, "%s%s(エラー番号 0x%08X)", font.c_str(), reason, systemError);
    } else {
        std::snprintf(text, size, "%s%s", font.c_str(), reason);
    }
}

}  // namespace korvel
