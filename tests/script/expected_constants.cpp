#include "tests/script/expected_constants.h"

namespace script_test {

const ExpectedConstant kExpectedConstants[kExpectedConstantCount] = {
    {1, "true", 2, VT_BOOL, -1, u""},
    {2, "\xD5\xE6", 2, VT_BOOL, -1, u""},  // 真
    {3, "false", 2, VT_BOOL, 0, u""},
    {4, "\xBC\xD9", 2, VT_BOOL, 0, u""},  // 假
    {5, "#crlf", 3, VT_BSTR, 0, u"\r\n"},
    {6, "#\xBB\xBB\xD0\xD0\xB7\xFB", 3, VT_BSTR, 0, u"\r\n"},  // #换行符
    {7, "#tab", 3, VT_BSTR, 0, u"\t"},
    {8, "#cr", 3, VT_BSTR, 0, u"\r"},
    {9, "#\xBB\xD8\xB3\xB5", 3, VT_BSTR, 0, u"\r"},  // #回车
    {10, "#lf", 3, VT_BSTR, 0, u"\n"},
    {11, "#\xBB\xBB\xD0\xD0", 3, VT_BSTR, 0, u"\n"},  // #换行
    {12, "#\xBF\xD5\xB8\xF1", 3, VT_BSTR, 0, u" "},   // #空格
    {13, "#space", 3, VT_BSTR, 0, u" "},
    {14, "#\xC8\xB7\xC8\xCF\xC5\xA5", 1, VT_I4, 0, u""},  // #确认钮
    {15, "#mb_ok", 1, VT_I4, 0, u""},
    {16, "#\xC8\xA1\xCF\xFB\xC5\xA5", 1, VT_I4, 1, u""},  // #取消钮
    {17, "#mb_cancel", 1, VT_I4, 1, u""},
    {18, "#\xCA\xC7\xC5\xA5", 1, VT_I4, 5, u""},  // #是钮
    {19, "#mb_yes", 1, VT_I4, 5, u""},
    {20, "#\xB7\xF1\xC5\xA5", 1, VT_I4, 6, u""},  // #否钮
    {21, "#mb_no", 1, VT_I4, 6, u""},
    {22, "#\xCA\xC7\xB7\xF1\xC5\xA5", 1, VT_I4, 4, u""},  // #是否钮
    {23, "#mb_yesno", 1, VT_I4, 4, u""},
    {24, "#\xD0\xC5\xCF\xA2\xCD\xBC\xB1\xEA", 1, VT_I4, 64, u""},  // #信息图标
    {25, "#mb_infomation", 1, VT_I4, 64, u""},
    {26, "#\xB4\xED\xCE\xF3\xCD\xBC\xB1\xEA", 1, VT_I4, 16, u""},  // #错误图标
    {27, "#mb_critical", 1, VT_I4, 16, u""},
    {28, "#\xD1\xAF\xCE\xCA\xCD\xBC\xB1\xEA", 1, VT_I4, 32, u""},  // #询问图标
    {29, "#mb_question", 1, VT_I4, 32, u""},
    {30, "#\xCA\xE4\xC8\xEB\xCE\xC4\xB1\xBE", 1, VT_I4, 1, u""},  // #输入文本
    {31, "#in_text", 1, VT_I4, 1, u""},
    {32, "#\xCA\xE4\xC8\xEB\xD5\xFB\xCA\xFD", 1, VT_I4, 2, u""},  // #输入整数
    {33, "#in_value", 1, VT_I4, 2, u""},
    {34, "#\xCA\xE4\xC8\xEB\xD0\xA1\xCA\xFD", 1, VT_I4, 3, u""},  // #输入小数
    {35, "#in_float", 1, VT_I4, 3, u""},
    {36, "#\xCA\xE4\xC8\xEB\xC3\xDC\xC2\xEB", 1, VT_I4, 4, u""},  // #输入密码
    {37, "#in_password", 1, VT_I4, 4, u""},
    {38, "#\xC4\xEA\xB7\xDD", 1, VT_I4, 1, u""},                   // #年份
    {39, "#\xBC\xBE\xB6\xC8", 1, VT_I4, 2, u""},                   // #季度
    {40, "#\xD4\xC2\xB7\xDD", 1, VT_I4, 3, u""},                   // #月份
    {41, "#\xD6\xDC", 1, VT_I4, 4, u""},                           // #周
    {42, "#\xC8\xD5", 1, VT_I4, 5, u""},                           // #日
    {43, "#\xD0\xA1\xCA\xB1", 1, VT_I4, 6, u""},                   // #小时
    {44, "#\xB7\xD6\xD6\xD3", 1, VT_I4, 7, u""},                   // #分钟
    {45, "#\xC3\xEB", 1, VT_I4, 8, u""},                           // #秒
    {46, "#\xC8\xAB\xB2\xBF\xD7\xAA\xBB\xBB", 1, VT_I4, 1, u""},   // #全部转换
    {47, "#\xC8\xD5\xC6\xDA\xB2\xBF\xB7\xD6", 1, VT_I4, 2, u""},   // #日期部分
    {48, "#\xCA\xB1\xBC\xE4\xB2\xBF\xB7\xD6", 1, VT_I4, 3, u""},   // #时间部分
    {49, "#\xB6\xC1\xC8\xEB", 1, VT_I4, 1, u""},                   // #读入
    {50, "#\xD0\xB4\xB3\xF6", 1, VT_I4, 2, u""},                   // #写出
    {51, "#\xB6\xC1\xD0\xB4", 1, VT_I4, 3, u""},                   // #读写
    {52, "#\xD6\xD8\xD0\xB4", 1, VT_I4, 4, u""},                   // #重写
    {53, "#\xB8\xC4\xD0\xB4", 1, VT_I4, 5, u""},                   // #改写
    {54, "#\xB8\xC4\xB6\xC1", 1, VT_I4, 6, u""},                   // #改读
    {55, "#\xCE\xDE\xCF\xDE\xD6\xC6", 1, VT_I4, 1, u""},           // #无限制
    {56, "#\xBD\xFB\xD6\xB9\xB6\xC1", 1, VT_I4, 2, u""},           // #禁止读
    {57, "#\xBD\xFB\xD6\xB9\xD0\xB4", 1, VT_I4, 3, u""},           // #禁止写
    {58, "#\xBD\xFB\xD6\xB9\xB6\xC1\xD0\xB4", 1, VT_I4, 4, u""},   // #禁止读写
    {59, "#\xCE\xC4\xBC\xFE\xCA\xD7", 1, VT_I4, 1, u""},           // #文件首
    {60, "#\xCE\xC4\xBC\xFE\xCE\xB2", 1, VT_I4, 2, u""},           // #文件尾
    {61, "#\xCF\xD6\xD0\xD0\xCE\xBB\xD6\xC3", 1, VT_I4, 3, u""},   // #现行位置
    {62, "#\xB8\xF9\xC0\xE0", 1, VT_I4, 1, u""},                   // #根类
    {63, "#\xCF\xD6\xD0\xD0\xC9\xE8\xD6\xC3", 1, VT_I4, 2, u""},   // #现行设置
    {64, "#\xCF\xD6\xD0\xD0\xD3\xC3\xBB\xA7", 1, VT_I4, 3, u""},   // #现行用户
    {65, "#\xB1\xBE\xB5\xD8\xBB\xFA\xC6\xF7", 1, VT_I4, 4, u""},   // #本地机器
    {66, "#\xCB\xF9\xD3\xD0\xD3\xC3\xBB\xA7", 1, VT_I4, 5, u""},   // #所有用户
    {67, "GBK\xD6\xD0\xCE\xC4", 1, VT_I4, 1, u""},                 // GBK中文, no '#'
    {68, "#\xD3\xA2\xCE\xC4", 1, VT_I4, 2, u""},                   // #英文
    {69, "#BIG5\xD6\xD0\xCE\xC4", 1, VT_I4, 3, u""},               // #BIG5中文
};

}  // namespace script_test
