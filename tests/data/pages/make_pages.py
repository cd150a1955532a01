# Writes the saved result pages used by the parser tests (GBK bytes). Run from this directory.
import os
CUR = '<td ><font color="#000000">现行</font></td>'
def old(word='作废'): return '<td ><font color="#FF0000">%s</font></td>' % word
HEAD = ('<!DOCTYPE html>\r\n<html>\r\n<head>\r\n<meta http-equiv="Content-Type" content="text/html; charset=GBK">\r\n'
        '<title>标准信息检索</title>\r\n</head>\r\n<body>\r\n<div class="top"><h1>标准信息检索</h1>'
        '<form action="s.jsp"><input name="keyword" value="%s"><input type="submit" value="检索"></form></div>\r\n')
TABLE = '<table class="list" width="100%">\r\n<tr class="head"><td>序号</td><td>标准信息</td><td>状态</td></tr>\r\n'
FOOT = '</table>\r\n<div class="pager">1/1 页 共 %d 条</div>\r\n<div class="foot">版权所有 &copy; 标准信息检索</div>\r\n</body>\r\n</html>\r\n'
def row(i, number, title, date, dept, cell, color='#FFFFFF', extra_td='<td>'):
    return ('<tr bgcolor="%s">%s%d</td><td><a href="detail.jsp?id=%d" title="编号：%s&#10;标题：%s&#10;发布日期：%s&#10;发布部门：%s&#10;">%s %s</a></td>%s</tr>\r\n'
            % (color, extra_td, i, 100 + i, number, title, date, dept, number, title, cell))
def page(keyword, rows, legend=''):
    return HEAD % keyword + legend + TABLE + ''.join(rows) + FOOT % len(rows)
T1 = '房屋建筑制图统一标准'
chain = [row(1, 'GB/T 50001-2001', T1, '2001-11-01', '建设部', old()),
         row(2, 'GB/T 50001-2010', T1, '2010-08-18', '住房和城乡建设部', old(), '#F3F7FB'),
         row(3, 'GB/T 50001-2017', T1, '2017-09-27', '住房和城乡建设部', CUR)]
pages = {}
pages['chain_current_last.html'] = page('GBT50001', chain)
pages['two_current_rows.html'] = page('GBT5010', [
    row(1, 'GB/T 50103-2001', '总图制图标准', '2001-11-01', '建设部', old()),
    row(2, 'GB/T 50104-2010', '建筑制图标准', '2010-08-18', '住房和城乡建设部', CUR, '#F3F7FB'),
    row(3, 'GB/T 50105-2010', '建筑结构制图标准', '2010-08-18', '住房和城乡建设部', CUR)])
pages['current_row_first.html'] = page('GB50011', [
    row(1, 'GB 50011-2010', '建筑抗震设计规范', '2010-05-31', '住房和城乡建设部', CUR),
    row(2, 'GB 50011-2001', '建筑抗震设计规范', '2001-07-20', '建设部', old(), '#F3F7FB')])
pages['no_current_cell.html'] = page('GB50045', [
    row(1, 'GB 50045-95', '高层民用建筑设计防火规范', '1995-05-03', '建设部', old('废止')),
    # near misses of the current cell: no space before ">", another colour
    row(2, 'GB 50045-2005', '高层民用建筑设计防火规范', '2005-07-15', '建设部', '<td><font color="#000000">现行</font></td>'),
    row(3, 'GB 50045-2010', '高层民用建筑设计防火规范', '2010-07-15', '建设部', '<td ><font color="#008000">现行</font></td>')])
pages['title_with_ampersand.html'] = page('GBT50106', [
    row(1, 'GB/T 50106-2010', '建筑给水排水&amp;采暖制图标准', '2010-08-18', '住房和城乡建设部', CUR)])
zero = page('GBT50001', chain).encode('gbk')
cut = zero.index(CUR.encode('gbk'))
pages['zero_byte_before_cell.html'] = zero[:cut - 10] + b'\x00' + zero[cut - 10:]
cut2 = zero.index(b'</table>')
pages['zero_byte_after_cell.html'] = zero[:cut2] + b'\x00' + zero[cut2:]
pages['cell_before_first_row.html'] = page('GBT50001', chain[:2] + [chain[2]],
    legend='<div class="legend">图例：' + CUR + ' 表示现行标准</div>\r\n')
pages['cell_before_first_row_only.html'] = page('GBT50001', chain[:2],
    legend='<div class="legend">图例：' + CUR + ' 表示现行标准</div>\r\n')
pages['bgcolor_cell_in_current_row.html'] = page('GBT50001', chain[:2] + [
    row(3, 'GB/T 50001-2017', T1, '2017-09-27', '住房和城乡建设部', CUR, extra_td='<td bgcolor="#FFFFCC">')])
pages['missing_number_field.html'] = page('GBT50001', chain[:2] + [
    '<tr bgcolor="#FFFFFF"><td>3</td><td><a title="标题：%s&#10;发布日期：2017-09-27&#10;">GB/T 50001-2017</a></td>%s</tr>\r\n' % (T1, CUR)])
pages['field_without_ampersand.html'] = page('GBT50001', [
    '<tr bgcolor="#FFFFFF"><td>1</td><td>编号：GB/T 50001-2017&#10;标题：%s&#10;发布日期：2017-09-27&#10;</td><td>发布部门：住房和城乡建设部</td>%s</tr>\r\n' % (T1, CUR),
    row(2, 'GB/T 50001-2010', T1, '2010-08-18', '住房和城乡建设部', old())])
pages['no_rows.html'] = HEAD % 'ZZ999' + '<div class="message">没有找到符合条件的标准。</div>\r\n' + '</body>\r\n</html>\r\n'
for name, content in pages.items():
    data = content if isinstance(content, bytes) else content.encode('gbk')
    with open(name, 'wb') as f: f.write(data)
with open('utf8_page.html', 'wb') as f: f.write(pages['chain_current_last.html'].encode('utf-8'))
