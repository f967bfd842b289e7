// PLACEHOLDER until page publishing lands: replaced whole by the publishing work.
#include "ui/pagepublisher.h"

#include "ui/readfiletxtwindow.h"

namespace corvane {

PagePublisher::PagePublisher(ConsoleLink&, QWidget*) {}
PagePublisher::~PagePublisher() = default;
bool PagePublisher::ecrit_ip_actu()
{
    return true;
}
bool PagePublisher::prepare_page()
{
    return true;
}
void PagePublisher::envoi_ftp() {}
ReadFileTxtWindow* PagePublisher::read_file_txt()
{
    return nullptr;
}
void PagePublisher::setDelais(int, int) {}

} // namespace corvane
