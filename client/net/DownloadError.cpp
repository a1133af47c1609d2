#include "net/DownloadError.h"

namespace net {

const wchar_t* DownloadErrorText(int32_t code) {
    switch (code) {
    case DownloadBadUrl:
        return L"URL解析错误, 请选择其他服务器进行尝试";
    case DownloadConnectFailed:
        return L"服务器拒绝连接, 请选择其他服务器进行尝试";
    case DownloadRedirectFailed:
        return L"重定向失败, 请选择其他服务器进行尝试";
    case DownloadBadRedirectUrl:
        return L"重定向URL解析错误, 请选择其他服务器进行尝试";
    case DownloadNotHttp:
        return L"不是HTTP连接, 请选择其他服务器进行尝试";
    case DownloadServerFileFailed:
        return L"取得服务器文件失败, 请选择其他服务器进行尝试";
    case DownloadLocalFileFailed:
        return L"创建本地文件失败";
    case DownloadCancelled:
        return L"主动取消连接";
    case DownloadUrlIncorrect:
        return L"URL不正确";
    default:
        return L"连接服务器失败, 请检查网络或联系管理员";
    }
}

} // namespace net
