#!/usr/bin/env python3
"""Writes report_sample.csv: a made-up annual report of 3,000 reporting units (UTF-8,
CR LF line ends, quotes where a value holds a comma, a quote or a line break). The
output is committed; run this again only to change the data set."""
import csv
import random
import sys

ROWS = 3000
REGIONS = ["北京市", "天津市", "河北省", "山西省", "上海市", "江苏省", "浙江省", "广东省", "四川省", "陕西省"]
TRADES = ["制造", "建筑", "批发零售", "交通运输", "信息技术", "餐饮住宿", "农业", "能源"]
SUFFIXES = ["有限公司", "股份有限公司", "集团有限公司", "有限责任公司"]
NOTES = ["", "", "", "", "新增单位", "已核实", "数据经\"复核\"后上报", "合并报表,含下属分部", "电话核实\n待补充附件"]


def main(path):
    rng = random.Random(2024)
    with open(path, "w", newline="", encoding="utf-8") as f:
        w = csv.writer(f, lineterminator="\r\n")
        w.writerow(["单位代码", "单位名称", "所在地区", "营业收入", "营业成本", "利润总额", "从业人数", "资产总计",
                    "填报日期", "备注"])
        for i in range(1, ROWS + 1):
            region = rng.choice(REGIONS)
            name = region[:2] + rng.choice(TRADES) + rng.choice(SUFFIXES)
            if rng.random() < 0.05:
                name += ",第" + str(rng.randint(1, 9)) + "分部"
            income = round(rng.uniform(50, 500000), 2)
            cost = round(income * rng.uniform(0.55, 1.08), 2)
            profit = round(income - cost - rng.uniform(0, income * 0.02), 2)
            staff = rng.randint(1, 5000) if rng.random() < 0.98 else 0
            assets = round(income * rng.uniform(0.8, 3.5), 2)
            day = "2024-%02d-%02d" % (rng.randint(1, 3), rng.randint(1, 28))
            w.writerow(["D%05d" % i, name, region, "%.2f" % income, "%.2f" % cost, "%.2f" % profit, staff,
                        "%.2f" % assets, day, rng.choice(NOTES)])


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "report_sample.csv")
