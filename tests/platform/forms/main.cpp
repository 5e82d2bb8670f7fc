#include "suites.h"

#include <QApplication>
#include <QByteArray>

#include <cstring>
#include <string>
#include <vector>

namespace {

// The arguments for the index-th test class. Each class starts the log file of -o FILE,FORMAT afresh,
// so each gets its own, FILE.01, FILE.02, ..., or only the last class's log would be kept.
class ClassArguments final
{
public:
    ClassArguments(int argc, char** argv, int index) : m_arguments(argv, argv + argc)
    {
        for (std::size_t i = 1; i + 1 < m_arguments.size(); ++i) {
            const std::string::size_type comma = m_arguments[i + 1].rfind(',');
            if (m_arguments[i] == "-o" && comma != std::string::npos) {
                const QByteArray suffix = QByteArray::number(index).rightJustified(2, '0').prepend('.');
                m_arguments[i + 1].insert(comma, suffix.constData());
            }
        }
        for (std::string& argument : m_arguments)
            m_pointers.push_back(argument.data());
        m_pointers.push_back(nullptr);
    }

    int argc() const { return static_cast<int>(m_arguments.size()); }
    char** argv() { return m_pointers.data(); }

private:
    std::vector<std::string> m_arguments;
    std::vector<char*> m_pointers;
};

} // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && std::strcmp(argv[1], EndProgramChildArgument) == 0)
        return runEndProgramChild(argc, argv);

    QApplication app(argc, argv);
    int failed = 0;
    int index = 0;
    for (const auto run : {runMessageBoxTests, runScreenTests, runLoadedWindowTests, runEndProgramTests,
                           runErrorHandlingTests, runBlockingWaitTests, runProgramLogTests}) {
        ClassArguments arguments(argc, argv, ++index);
        failed += run(arguments.argc(), arguments.argv());
    }
    return failed;
}
